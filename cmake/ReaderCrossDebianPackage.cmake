# What a Debian package of a cross build says of its target, found from the
# cross compiler: READER_CROSS_DEB_ARCHITECTURE (arm64, armhf, ...) and
# READER_CROSS_DEB_DEPENDS, the run-time libraries every program of this
# compiler links (the C library of the toolchain's own version or later,
# libgcc, and the libstdc++ of the compiler's major version or later).
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
  OUTPUT_VARIABLE READER_CROSS_TRIPLET OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
find_program(READER_DPKG_ARCHITECTURE dpkg-architecture)
if(READER_DPKG_ARCHITECTURE)
  execute_process(COMMAND ${READER_DPKG_ARCHITECTURE} -t ${READER_CROSS_TRIPLET} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE READER_CROSS_DEB_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
elseif(READER_CROSS_TRIPLET MATCHES "^aarch64-")
  set(READER_CROSS_DEB_ARCHITECTURE arm64)
elseif(READER_CROSS_TRIPLET MATCHES "^arm.*-gnueabihf$")
  set(READER_CROSS_DEB_ARCHITECTURE armhf)
endif()
if(NOT READER_CROSS_DEB_ARCHITECTURE)
  message(WARNING "cannot name the Debian architecture of ${READER_CROSS_TRIPLET} (install dpkg-dev): "
    "packages made from this tree would say the build machine's")
endif()

# The C library's version, from the toolchain's own header.
set(glibc_version)
foreach(root IN LISTS CMAKE_FIND_ROOT_PATH CMAKE_SYSROOT)
  if(EXISTS ${root}/include/features.h)
    file(STRINGS ${root}/include/features.h lines REGEX "^#define[ \t]+__GLIBC(_MINOR)?__[ \t]+[0-9]+")
    string(REGEX REPLACE ".*__GLIBC__[ \t]+([0-9]+).*" "\\1" major "${lines}")
    string(REGEX REPLACE ".*__GLIBC_MINOR__[ \t]+([0-9]+).*" "\\1" minor "${lines}")
    set(glibc_version ${major}.${minor})
    break()
  endif()
endforeach()
set(libc "libc6 (>= ${glibc_version})")
if(NOT glibc_version MATCHES "^[0-9]+\\.[0-9]+$")
  message(WARNING "cannot tell the C library's version of ${READER_CROSS_TRIPLET} (no include/features.h "
    "under CMAKE_FIND_ROOT_PATH or CMAKE_SYSROOT): its packages depend on any libc6")
  set(libc libc6)
endif()
string(REGEX MATCH "^[0-9]+" gcc_major ${CMAKE_CXX_COMPILER_VERSION})
set(READER_CROSS_DEB_DEPENDS "${libc}, libgcc-s1 (>= 3.0), libstdc++6 (>= ${gcc_major})")
message(STATUS "Debian packages for ${READER_CROSS_DEB_ARCHITECTURE}: Depends ${READER_CROSS_DEB_DEPENDS}")
