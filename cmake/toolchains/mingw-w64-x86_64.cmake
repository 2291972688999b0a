# Cross-build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, so std::thread and std::mutex exist).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(READER_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${READER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${READER_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${READER_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${READER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their own runtime (libgcc, libstdc++,
# winpthread): nothing beside them has to be shipped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
