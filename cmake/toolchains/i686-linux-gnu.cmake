# Cross build for 32-bit x86 Linux with Debian's cross compiler
# (g++-i686-linux-gnu); target programs run through qemu-i386.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LBM_TRIPLET i686-linux-gnu)
set(LBM_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
