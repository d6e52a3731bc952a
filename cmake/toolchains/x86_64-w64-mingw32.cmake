# Cross build for 64-bit Windows with Debian's mingw-w64 compilers
# (g++-mingw-w64-x86-64); target programs run through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# GoogleTest's project enables C as well as C++. The compilers of the POSIX
# thread model (g++-mingw-w64-x86-64-posix): GoogleTest needs std::mutex,
# which the win32 thread model of g++ 12 lacks.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C++ and C runtimes linked into each program: wine finds no mingw DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# Wine keeps its Windows installation (the prefix, made on the first run) in
# the build folder, and says nothing of its own on standard error. No
# Mono or Gecko: the programs need neither, and wine would offer to install
# them while it makes the prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= wine)
