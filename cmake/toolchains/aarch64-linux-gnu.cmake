# Cross-build for 64-bit ARM Linux (Debian arm64) with Debian's cross
# compiler (g++-aarch64-linux-gnu); the target's programs run here under
# qemu-user, with the cross toolchain's C library as their root.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(READER_CROSS_TRIPLET aarch64-linux-gnu)
set(READER_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
