# Cross build for 32-bit x86 Linux with Debian's cross compiler
# (g++-i686-linux-gnu). Target programs run through qemu-user (qemu-i386) with
# the cross C library of /usr/i686-linux-gnu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LBM_TRIPLET i686-linux-gnu)
set(CMAKE_CXX_COMPILER ${LBM_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${LBM_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/${LBM_TRIPLET})
