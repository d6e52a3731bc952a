# Cross build for 32-bit ARM Linux with hardware floating point (Debian's
# armhf) with Debian's cross compiler (g++-arm-linux-gnueabihf); target
# programs run through qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(LBM_TRIPLET arm-linux-gnueabihf)
set(LBM_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
