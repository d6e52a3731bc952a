# Shared part of the cross toolchain files: Debian's cross compiler for
# LBM_TRIPLET, the target's libraries and headers from /usr/LBM_TRIPLET, and
# target programs run through qemu-user (LBM_QEMU) with that C library.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${LBM_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${LBM_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LBM_QEMU} -L /usr/${LBM_TRIPLET})
