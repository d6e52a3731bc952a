# Cross build for 64-bit IBM Z Linux, a big-endian CPU, with Debian's cross
# compiler (g++-s390x-linux-gnu); target programs run through qemu-s390x.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(LBM_TRIPLET s390x-linux-gnu)
set(LBM_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
