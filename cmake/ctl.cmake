# ostravel-ctl: the command line for scripts and monitoring. Core libraries only, no wxWidgets.
# Everything but main() is a library, so the tests run the program's logic in-process.
# POSIX only for now: the password file's owner-only check has no Windows counterpart yet.
if(WIN32)
  return()
endif()

add_library(ostravel_ctl STATIC
  src/ctl/captureview.cpp
  src/ctl/credentials.cpp
  src/ctl/ctl.cpp
  src/ctl/ctlcommands.cpp
  src/ctl/ctloutput.cpp
  src/ctl/ctlsession.cpp
)
target_link_libraries(ostravel_ctl PUBLIC ostravel_core)
target_compile_definitions(ostravel_ctl PRIVATE OSTRAVEL_CTL_VERSION="${PROJECT_VERSION}")

add_executable(ostravel-ctl src/ctl/main.cpp)
target_link_libraries(ostravel-ctl PRIVATE ostravel_ctl)

include(GNUInstallDirs)
install(TARGETS ostravel-ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostravel)
