# What the Debian cross toolchains for Linux share, included by each
# toolchain file once it has set READER_CROSS_TRIPLET and
# READER_CROSS_QEMU: the compilers named after the triplet, the toolchain's
# own root for the target's headers and libraries (programs are this
# machine's), and qemu-user to run the target's programs, with that root as
# theirs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${READER_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${READER_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${READER_CROSS_TRIPLET})

set(CMAKE_FIND_ROOT_PATH /usr/${READER_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${READER_CROSS_QEMU} -L /usr/${READER_CROSS_TRIPLET})
