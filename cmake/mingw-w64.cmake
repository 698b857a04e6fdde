# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread model: std::thread,
# std::mutex and friends need it). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSTRAVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTRAVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTRAVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTRAVEL_MINGW_TRIPLET}-windres)

# Libraries for the target: the toolchain's own, and the folder of those built for it by
# scripts/windows-wx (wxMSW, libpng) when given as OSTRAVEL_WINDOWS_PREFIX.
set(CMAKE_FIND_ROOT_PATH /usr/${OSTRAVEL_MINGW_TRIPLET} ${OSTRAVEL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libstdc++, libgcc, winpthread) goes into each program, so a program runs
# from any folder without the toolchain's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Windows programs built here run on this machine under wine64.
find_program(OSTRAVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine)  # Debian: wine64
if(OSTRAVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTRAVEL_WINE})
endif()
