# The Windows program's own pieces (included from cmake/desktop.cmake): its resources, that is the
# icon Explorer and the taskbar show, the version Explorer lists and the manifest that gives the
# controls the system's current look. The window, the tray and the about box take their pictures
# from the compiled-in PNGs, as on Linux. Passwords go to the Credential Manager (platform library).
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ostravel_ico ${CMAKE_BINARY_DIR}/artwork/ostravel.ico)
set(ostravel_ico_pngs)
foreach(size 16 24 32 48 64 256)
  list(APPEND ostravel_ico_pngs ${ostravel_icon_dir}/${size}x${size}/apps/${OSTRAVEL_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${ostravel_ico}
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/cmake/pngico.py ${ostravel_ico} ${ostravel_ico_pngs}
  DEPENDS ${ostravel_ico_pngs} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/pngico.py VERBATIM)

string(REPLACE "." "," ostravel_version_commas "${PROJECT_VERSION}.0.0")
set(ostravel_rc ${CMAKE_BINARY_DIR}/artwork/ostravel.rc)
file(CONFIGURE OUTPUT ${ostravel_rc} CONTENT [=[
// The program's resources; made by the build.
#define wxUSE_RC_MANIFEST 1
#include "wx/msw/wx.rc"

// The first icon is the one Explorer shows for the program.
aaaa ICON "ostravel.ico"

1 VERSIONINFO
FILEVERSION @ostravel_version_commas@
PRODUCTVERSION @ostravel_version_commas@
FILEOS 0x40004
FILETYPE 1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "CompanyName", "@OSTRAVEL_VENDOR@"
      VALUE "LegalCopyright", "Copyright (C) @OSTRAVEL_COPYRIGHT_YEARS@ @OSTRAVEL_VENDOR@. All rights reserved."
      VALUE "FileDescription", "Ostravel"
      VALUE "FileVersion", "@PROJECT_VERSION@"
      VALUE "InternalName", "ostravel"
      VALUE "OriginalFilename", "ostravel.exe"
      VALUE "ProductName", "Ostravel"
      VALUE "ProductVersion", "@PROJECT_VERSION@"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
]=] @ONLY)
set_source_files_properties(${ostravel_rc} PROPERTIES OBJECT_DEPENDS ${ostravel_ico}
  INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/artwork)
target_sources(ostravel PRIVATE ${ostravel_rc})

# A release program without its symbols: about a third of the size.
target_link_options(ostravel PRIVATE $<$<CONFIG:Release>:-s>)

# The installer's source and the shortcut's application id (scripts/windows-installer makes the MSI
# from them with wixl).
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/ostravel.wxs.in ${CMAKE_BINARY_DIR}/installer/ostravel.wxs
  @ONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/shortcut-id.idt.in
  ${CMAKE_BINARY_DIR}/installer/shortcut-id.idt @ONLY)
