# Cross build for 64-bit little-endian POWER Linux (Debian's ppc64el) with
# Debian's cross compiler (g++-powerpc64le-linux-gnu); target programs run
# through qemu-ppc64le.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(LBM_TRIPLET powerpc64le-linux-gnu)
set(LBM_QEMU qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
