# The program's catalogues (po/): the template extracted from the sources, the desktop entry and the
# metainfo; one .po per language named in po/LINGUAS, built into locale/<lang>/LC_MESSAGES/ostravel.mo
# beside the program (where the build tree's program and the Windows program look) and installed
# under share/locale. The desktop entry and the metainfo get their translations from the same .po files.
#   cmake --build <dir> --target pot   writes po/ostravel.pot from the sources again (make pot).
find_program(OSTRAVEL_XGETTEXT xgettext REQUIRED)
find_program(OSTRAVEL_MSGFMT msgfmt REQUIRED)
find_program(OSTRAVEL_MSGCAT msgcat REQUIRED)

set(ostravel_po_dir ${CMAKE_SOURCE_DIR}/po)
set(ostravel_locale_dir ${CMAKE_BINARY_DIR}/locale)
file(STRINGS ${ostravel_po_dir}/LINGUAS OSTRAVEL_LANGUAGES REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ostravel_po_dir}/LINGUAS)

# The marks: wx's own, and the core's (platform/translate.h), which takes no wx.
set(OSTRAVEL_XGETTEXT_KEYWORDS
  --keyword=_ --keyword=N_ --keyword=NC_:1c,2 --keyword=wxPLURAL:1,2
  --keyword=wxGETTEXT_IN_CONTEXT:1c,2 --keyword=wxGETTEXT_IN_CONTEXT_PLURAL:1c,2,3
  --keyword=wxTRANSLATE --keyword=TranslatedPlural:1,2)

# Writes the template to $1 (a script of its own, so that the check test runs the same extraction).
set(ostravel_pot_script ${CMAKE_SOURCE_DIR}/po/make-pot)
set(ostravel_desktop_in ${CMAKE_BINARY_DIR}/data/${OSTRAVEL_APP_ID}.desktop)
set(ostravel_metainfo_in ${CMAKE_BINARY_DIR}/data/${OSTRAVEL_APP_ID}.metainfo.xml)
add_custom_target(pot
  COMMAND ${ostravel_pot_script} ${ostravel_po_dir}/ostravel.pot ${CMAKE_SOURCE_DIR}
          ${ostravel_desktop_in} ${ostravel_metainfo_in} ${OSTRAVEL_XGETTEXT_KEYWORDS}
  COMMENT "Extracting the texts to translate into po/ostravel.pot" VERBATIM)

set(ostravel_mo_files)
foreach(lang ${OSTRAVEL_LANGUAGES})
  set(po ${ostravel_po_dir}/${lang}.po)
  set(mo ${ostravel_locale_dir}/${lang}/LC_MESSAGES/ostravel.mo)
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ostravel_locale_dir}/${lang}/LC_MESSAGES
    COMMAND ${OSTRAVEL_MSGFMT} --check -o ${mo} ${po}
    DEPENDS ${po} VERBATIM)
  list(APPEND ostravel_mo_files ${mo})
  if(WIN32)
    install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_BINDIR}/locale/${lang}/LC_MESSAGES COMPONENT ostravel)
  else()
    install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES COMPONENT ostravel)
  endif()
endforeach()
add_custom_target(ostravel_catalogues ALL DEPENDS ${ostravel_mo_files})
add_dependencies(ostravel_desktop ostravel_catalogues)

# The desktop entry and metainfo with every language's texts, from the files cmake/install.cmake
# configures (Linux only, like them).
if(NOT WIN32)
  set(ostravel_po_files)
  foreach(lang ${OSTRAVEL_LANGUAGES})
    list(APPEND ostravel_po_files ${ostravel_po_dir}/${lang}.po)
  endforeach()
  set(OSTRAVEL_TRANSLATED_DESKTOP ${CMAKE_BINARY_DIR}/data/translated/${OSTRAVEL_APP_ID}.desktop)
  set(OSTRAVEL_TRANSLATED_METAINFO ${CMAKE_BINARY_DIR}/data/translated/${OSTRAVEL_APP_ID}.metainfo.xml)
  add_custom_command(OUTPUT ${OSTRAVEL_TRANSLATED_DESKTOP} ${OSTRAVEL_TRANSLATED_METAINFO}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data/translated
    COMMAND ${OSTRAVEL_MSGFMT} --desktop --template=${ostravel_desktop_in} -d ${ostravel_po_dir}
            -o ${OSTRAVEL_TRANSLATED_DESKTOP}
    COMMAND ${OSTRAVEL_MSGFMT} --xml --template=${ostravel_metainfo_in} -d ${ostravel_po_dir}
            -o ${OSTRAVEL_TRANSLATED_METAINFO}
    DEPENDS ${ostravel_desktop_in} ${ostravel_metainfo_in} ${ostravel_po_files} ${ostravel_po_dir}/LINGUAS
    VERBATIM)
  add_custom_target(ostravel_translated_data ALL
    DEPENDS ${OSTRAVEL_TRANSLATED_DESKTOP} ${OSTRAVEL_TRANSLATED_METAINFO})
endif()
