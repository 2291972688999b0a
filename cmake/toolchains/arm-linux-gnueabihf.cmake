# Cross-build for 32-bit ARM Linux with hardware floating point (Debian
# armhf) with Debian's cross compiler (g++-arm-linux-gnueabihf); the target's
# programs run here under qemu-user, with the cross toolchain's C library as
# their root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)

set(READER_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${READER_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${READER_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${READER_CROSS_TRIPLET})

set(CMAKE_FIND_ROOT_PATH /usr/${READER_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${READER_CROSS_TRIPLET})
