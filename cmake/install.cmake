# Install rules, in two components: "ostravel" (the program, its browser module, ostravel-ctl and its
# systemd user unit, the desktop entry, metainfo, icons and manual pages) and "hostsim" (the host stand-in, to try the
# program without a host). The stand-in is installed only when asked for by name
# (cmake --install ... --component hostsim) and is a package of its own.
include(GNUInstallDirs)

set(ostravel_gen ${CMAKE_BINARY_DIR}/data)
set(ostravel_doc_dir ${CMAKE_INSTALL_DATADIR}/doc)

# Manual pages, compressed as Debian wants them (best compression, no name or time stamp). Their
# date (@OSTRAVEL_MAN_DATE@) is that of the change log's latest entry, their version the project's.
find_program(OSTRAVEL_GZIP gzip REQUIRED)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog)
file(STRINGS ${CMAKE_SOURCE_DIR}/data/changelog ostravel_changelog_dates REGEX "^ -- .*  [A-Z][a-z][a-z], ")
list(GET ostravel_changelog_dates 0 ostravel_latest)
string(REGEX MATCH ", [0-9]+ ([A-Z][a-z][a-z]) ([0-9]+) " ostravel_latest "${ostravel_latest}")
set(ostravel_months Jan January Feb February Mar March Apr April May May Jun June Jul July Aug August
  Sep September Oct October Nov November Dec December)
list(FIND ostravel_months "${CMAKE_MATCH_1}" ostravel_month)
if(NOT ostravel_latest OR ostravel_month LESS 0)
  message(FATAL_ERROR "data/changelog: the latest entry's trailer line has no date")
endif()
math(EXPR ostravel_month "${ostravel_month} + 1")
list(GET ostravel_months ${ostravel_month} ostravel_month)
set(OSTRAVEL_MAN_DATE "${ostravel_month} ${CMAKE_MATCH_2}")
function(ostravel_man_page source component)
  get_filename_component(name ${source} NAME)
  set(page ${CMAKE_BINARY_DIR}/man/${name})
  set(gz ${page}.gz)
  configure_file(${source} ${page} @ONLY)
  add_custom_command(OUTPUT ${gz}
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${OSTRAVEL_GZIP} ${page} ${gz}
    DEPENDS ${page} VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${gz})
  set(exclude)
  if(NOT component STREQUAL "ostravel")
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component} ${exclude})
endfunction()

if(TARGET ostravel)
  install(TARGETS ostravel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostravel)
endif()

# The desktop's files: Linux only (the Windows program carries its icon and version inside).
if(TARGET ostravel AND NOT WIN32)
  install(TARGETS ostravel_browser LIBRARY DESTINATION ${OSTRAVEL_MODULE_DIR} COMPONENT ostravel)
  ostravel_man_page(${CMAKE_SOURCE_DIR}/docs/ostravel.1 ostravel)

  foreach(icon ${OSTRAVEL_ICONS})
    string(REPLACE "|" ";" fields "${icon}")
    list(GET fields 1 name)
    list(GET fields 2 context)
    foreach(size ${OSTRAVEL_ICON_SIZES})
      install(FILES ${ostravel_icon_dir}/${size}x${size}/${context}/${name}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/${context} COMPONENT ostravel)
    endforeach()
    install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${name}.svg
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/${context} COMPONENT ostravel)
  endforeach()

  # The window's class is the application name the program gives itself (kAppName).
  set(OSTRAVEL_WM_CLASS zandrel)
  configure_file(${CMAKE_SOURCE_DIR}/data/ostravel.desktop.in ${ostravel_gen}/${OSTRAVEL_APP_ID}.desktop @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/data/ostravel.metainfo.xml.in
    ${ostravel_gen}/${OSTRAVEL_APP_ID}.metainfo.xml @ONLY)
  # Installed with their translations (cmake/translations.cmake).
  install(FILES ${OSTRAVEL_TRANSLATED_DESKTOP}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ostravel)
  install(FILES ${OSTRAVEL_TRANSLATED_METAINFO}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ostravel)
endif()

if(TARGET ostravel-ctl)
  ostravel_man_page(${CMAKE_SOURCE_DIR}/docs/ostravel-ctl.1 ostravel)
  # The systemd user unit that runs `ostravel-ctl watch`, made at install time so that its ExecStart
  # names the program where this install puts it (a package's prefix is not the build's).
  install(CODE "
    set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/ostravel-watch@.service\")
    message(STATUS \"Installing: \${unit}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/data/ostravel-watch@.service.in\" \"\${unit}\" @ONLY)
    " COMPONENT ostravel)
endif()

if(TARGET ostravel-hostsim)
  install(TARGETS ostravel-hostsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hostsim EXCLUDE_FROM_ALL)
  ostravel_man_page(${CMAKE_SOURCE_DIR}/tools/hostsim/ostravel-hostsim.1 hostsim)
  install(FILES ${CMAKE_SOURCE_DIR}/tools/hostsim/accounts.example
    DESTINATION ${ostravel_doc_dir}/ostravel-hostsim COMPONENT hostsim EXCLUDE_FROM_ALL)
endif()

# Each package's copyright and change log where Debian looks for them.
set(ostravel_changelog ${CMAKE_BINARY_DIR}/data/changelog.gz)
add_custom_command(OUTPUT ${ostravel_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ostravel_gen}
  COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${OSTRAVEL_GZIP} ${CMAKE_SOURCE_DIR}/data/changelog
          ${ostravel_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog VERBATIM)
add_custom_target(ostravel_changelog ALL DEPENDS ${ostravel_changelog})
# The copyright file is made by cmake/programinfo.cmake.
install(FILES ${ostravel_gen}/copyright ${ostravel_changelog}
  DESTINATION ${ostravel_doc_dir}/ostravel COMPONENT ostravel)
install(FILES ${ostravel_gen}/copyright ${ostravel_changelog}
  DESTINATION ${ostravel_doc_dir}/ostravel-hostsim COMPONENT hostsim EXCLUDE_FROM_ALL)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
