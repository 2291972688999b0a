# Install rules, the pkg-config file, the CMake package and CPack: what an
# integrator gets from `cmake --install` or the .deb / .zip. Only the module,
# its public header and the two tools are installed; tests, benchmarks and
# examples stay in the build tree.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(READER_PACKAGE reader3100xe)
set(READER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${READER_PACKAGE})
set(READER_DESCRIPTION
  "Barcode engine and RFID module library of the 3100XE handheld terminal")

# Consumers see the module as reader3100xe::reader.
set_target_properties(reader_dll PROPERTIES EXPORT_NAME reader)
if(NOT WIN32)
  # Soname lib3100XE_DLL.so.2; the unversioned name stays as a link in the
  # build tree and the installed tree, for dlopen and -l3100XE_DLL.
  set_target_properties(reader_dll PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
if(TARGET readerctl AND NOT WIN32)
  # readerctl finds the module beside it wherever the tree is installed.
  set_target_properties(readerctl PROPERTIES
    INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

install(TARGETS reader_dll EXPORT ${READER_PACKAGE}Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}   # the DLL
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}   # the .so and its links
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})  # the import library
install(FILES ${PROJECT_SOURCE_DIR}/include/3100XE_DLL.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(TARGET readerctl)
  install(TARGETS readerctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The simulator drives pseudo-terminals: POSIX only.
if(TARGET reader-sim AND NOT WIN32)
  install(TARGETS reader-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# pkg-config: the prefix is found from the .pc file's own place, so a tree
# installed with `cmake --install --prefix DIR` or moved elsewhere still works.
file(RELATIVE_PATH READER_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" READER_PC_TO_PREFIX "${READER_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/reader3100xe.pc.in
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${READER_PACKAGE}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# CMake: find_package(reader3100xe CONFIG) gives reader3100xe::reader.
install(EXPORT ${READER_PACKAGE}Targets
  NAMESPACE ${READER_PACKAGE}::
  DESTINATION ${READER_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/reader3100xeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}Config.cmake
  INSTALL_DESTINATION ${READER_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/${READER_PACKAGE}ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}Config.cmake
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}ConfigVersion.cmake
  DESTINATION ${READER_CMAKE_DIR})

# CPack: a .deb on Linux, a .zip of the same tree on Windows.
set(CPACK_PACKAGE_NAME ${READER_PACKAGE})
set(CPACK_PACKAGE_VENDOR "reader3100xe developers")
set(CPACK_PACKAGE_CONTACT "reader3100xe developers <reader3100xe@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${READER_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES OFF)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  find_program(READER_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(READER_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # readerctl needs the module shipped in this same package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
      ${PROJECT_BINARY_DIR}/src)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
  endif()
endif()
include(CPack)
