# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu); target programs run through qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LBM_TRIPLET aarch64-linux-gnu)
set(LBM_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
