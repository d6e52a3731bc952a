# Cross build for 64-bit RISC-V Linux with Debian's cross compiler
# (g++-riscv64-linux-gnu); target programs run through qemu-riscv64.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(LBM_TRIPLET riscv64-linux-gnu)
set(LBM_QEMU qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
