# Cross-build for 32-bit ARM Linux with hardware floating point (Debian
# armhf) with Debian's cross compiler (g++-arm-linux-gnueabihf); the target's
# programs run here under qemu-user, with the cross toolchain's C library as
# their root.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(READER_CROSS_TRIPLET arm-linux-gnueabihf)
set(READER_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
