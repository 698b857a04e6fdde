# ostravel-ctl: the command line for scripts and monitoring. Core libraries only, no wxWidgets.
# Everything but main() (src/main) is a library, so the tests run the program's logic in-process.
# On Windows it is built without watch, which waits for signals and starts its change command the
# POSIX way; the password comes from the Credential Manager there too (platform/windows).
if(WIN32)
  foreach(posix_only watch.cpp watchloop.cpp changecommand.cpp)
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/src/ctl/${posix_only} PROPERTIES HEADER_FILE_ONLY ON)
  endforeach()
endif()

ostravel_folder_library(ctl ostravel_session)
target_compile_definitions(ostravel_ctl PRIVATE OSTRAVEL_CTL_VERSION="${PROJECT_VERSION}")

add_executable(ostravel-ctl src/main/ostravel-ctl.cpp)
target_link_libraries(ostravel-ctl PRIVATE ostravel_ctl)
# The desktop program's catalogues are its too (platform/catalogues).
if(TARGET ostravel_catalogues)
  add_dependencies(ostravel-ctl ostravel_catalogues)
endif()

if(WIN32)
  # A console program like the Linux one, beside ostravel.exe in build/windows-app.
  set_target_properties(ostravel-ctl PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_link_options(ostravel-ctl PRIVATE $<$<CONFIG:Release>:-s>)
endif()

include(GNUInstallDirs)
install(TARGETS ostravel-ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostravel)
