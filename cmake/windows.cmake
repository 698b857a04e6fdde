# Windows builds (cross-built with cmake/mingw-w64.cmake): the core, the command line and their
# tests. The desktop program has its own pieces (cmake/windowsapp.cmake); the host stand-in is not
# built for Windows: the tests run it natively.

# The wave devices load PortAudio's DLL at run time and only need its declarations to compile.
# Debian's portaudio19-dev header is plain C and the same on every platform; it is copied into the
# build tree so the cross compiler never sees the rest of the build machine's /usr/include.
find_file(OSTRAVEL_PORTAUDIO_HEADER portaudio.h PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT OSTRAVEL_PORTAUDIO_HEADER)
  message(FATAL_ERROR "portaudio.h not found (Debian: portaudio19-dev)")
endif()
configure_file(${OSTRAVEL_PORTAUDIO_HEADER} ${CMAKE_BINARY_DIR}/portaudio-include/portaudio.h COPYONLY)
target_include_directories(ostravel_voice SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/portaudio-include)

# Windows 7 APIs and up; a lean <windows.h> without the min and max macros.
target_compile_definitions(ostravel_platform PUBLIC _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

if(OSTRAVEL_BUILD_TESTS)
  # GoogleTest built for the target from its sources (Debian: googletest, in /usr/src/googletest).
  set(OSTRAVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
  if(NOT EXISTS ${OSTRAVEL_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${OSTRAVEL_GOOGLETEST_SOURCE} (Debian: googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${OSTRAVEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
