# Who makes the program, on which terms, whom to write to, and when it was released: one place for
# the About box (the generated platform/programinfo.h), the metainfo, the Debian copyright file and
# the packages. The years and the release date are read from data/changelog, the terms from LICENSE.
set(OSTRAVEL_PROGRAM_NAME Ostravel)
set(OSTRAVEL_VENDOR Quenlor)
set(OSTRAVEL_CONTACT_ADDRESS ostravel@quenlor.net)
# SPDX's name for terms of the owner's own; software centres show it as proprietary.
set(OSTRAVEL_LICENSE LicenseRef-proprietary)

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/data/changelog ${CMAKE_SOURCE_DIR}/LICENSE)

# The change log's entries, newest first: "ostravel (1.0) unstable; ..." opens one and
# " -- Name <address>  Tue, 08 Dec 2026 12:00:00 +0000" closes it.
file(STRINGS ${CMAKE_SOURCE_DIR}/data/changelog ostravel_changelog_heads REGEX "^ostravel \\(")
file(STRINGS ${CMAKE_SOURCE_DIR}/data/changelog ostravel_changelog_dates REGEX "^ -- ")
list(LENGTH ostravel_changelog_dates ostravel_entries)
if(ostravel_entries EQUAL 0)
  message(FATAL_ERROR "data/changelog has no entry")
endif()
list(GET ostravel_changelog_heads 0 ostravel_newest)
if(NOT ostravel_newest MATCHES "^ostravel \\(${PROJECT_VERSION}\\)")
  message(FATAL_ERROR "data/changelog's newest entry is not version ${PROJECT_VERSION}: ${ostravel_newest}")
endif()

# An entry's date as YYYY-MM-DD.
function(ostravel_changelog_date line out)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT line MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "data/changelog: no date in \"${line}\"")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "data/changelog: no month in \"${line}\"")
  endif()
  math(EXPR month "${month} + 1")
  if(month LESS 10)
    set(month 0${month})
  endif()
  string(LENGTH ${day} digits)
  if(digits EQUAL 1)
    set(day 0${day})
  endif()
  set(${out} ${year}-${month}-${day} PARENT_SCOPE)
endfunction()

list(GET ostravel_changelog_dates 0 ostravel_newest)
math(EXPR ostravel_oldest_index "${ostravel_entries} - 1")
list(GET ostravel_changelog_dates ${ostravel_oldest_index} ostravel_oldest)
ostravel_changelog_date("${ostravel_newest}" OSTRAVEL_RELEASE_DATE)
ostravel_changelog_date("${ostravel_oldest}" ostravel_first_date)
string(SUBSTRING ${OSTRAVEL_RELEASE_DATE} 0 4 ostravel_last_year)
string(SUBSTRING ${ostravel_first_date} 0 4 ostravel_first_year)
if(ostravel_first_year STREQUAL ostravel_last_year)
  set(OSTRAVEL_COPYRIGHT_YEARS ${ostravel_last_year})
else()
  set(OSTRAVEL_COPYRIGHT_YEARS ${ostravel_first_year}-${ostravel_last_year})
endif()

# The terms as the Debian copyright file holds them: each line indented, an empty one as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE ostravel_terms)
if(NOT ostravel_terms MATCHES "${OSTRAVEL_CONTACT_ADDRESS}")
  message(FATAL_ERROR "LICENSE does not name the contact address ${OSTRAVEL_CONTACT_ADDRESS}")
endif()
string(STRIP "${ostravel_terms}" ostravel_terms)
string(REPLACE "\n\n" "\n.\n" ostravel_terms "${ostravel_terms}")
string(REPLACE "\n" "\n " OSTRAVEL_LICENSE_TEXT " ${ostravel_terms}")

configure_file(${CMAKE_SOURCE_DIR}/src/platform/programinfo.h.in
  ${CMAKE_BINARY_DIR}/generated/platform/programinfo.h @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/copyright.in ${CMAKE_BINARY_DIR}/data/copyright @ONLY)
