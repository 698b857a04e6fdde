# ostravel-ctl: the command line for scripts and monitoring. Core libraries only, no wxWidgets.
# Everything but main() (src/main) is a library, so the tests run the program's logic in-process.
# POSIX only for now: the password file's owner-only check has no Windows counterpart yet.
if(WIN32)
  return()
endif()

ostravel_folder_library(ctl ostravel_session)
target_compile_definitions(ostravel_ctl PRIVATE OSTRAVEL_CTL_VERSION="${PROJECT_VERSION}")

add_executable(ostravel-ctl src/main/ostravel-ctl.cpp)
target_link_libraries(ostravel-ctl PRIVATE ostravel_ctl)

include(GNUInstallDirs)
install(TARGETS ostravel-ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostravel)
