# Install rules, the pkg-config file, the CMake package and CPack: what an
# integrator gets from `cmake --install` or the .deb / .zip files. Only the module,
# its public header, the two tools, the service with its systemd units, udev
# rules and configuration, their manual pages, completion and licence notice
# are installed; tests, benchmarks and examples stay in the build tree.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(READER_PACKAGE reader3100xe)
set(READER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${READER_PACKAGE})
set(READER_DESCRIPTION
  "Barcode engine and RFID module library of the 3100XE handheld terminal")

# Five components, packaged apart as a distribution would: the runtime
# module, the development files, readerctl, the simulator and readerd.
set(READER_DEB_RUNTIME lib3100xe-dll${PROJECT_VERSION_MAJOR})  # after the soname
set(READER_DEB_DEV lib3100xe-dll-dev)
set(READER_DEB_TOOLS reader3100xe-tools)
set(READER_DEB_SIM reader3100xe-sim)
set(READER_DEB_DAEMON reader3100xe-daemon)
set(READER_COMPONENTS runtime dev tools sim)
if(TARGET readerd)
  list(APPEND READER_COMPONENTS daemon)
endif()

# Consumers see the module as reader3100xe::reader.
set_target_properties(reader_dll PROPERTIES EXPORT_NAME reader)
if(NOT WIN32)
  # Soname lib3100XE_DLL.so.2; the unversioned name stays as a link in the
  # build tree and the installed tree, for dlopen and -l3100XE_DLL.
  set_target_properties(reader_dll PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
# readerctl and readerd find the module beside them wherever the tree is
# installed.
foreach(tool IN ITEMS readerctl readerd)
  if(TARGET ${tool} AND NOT WIN32)
    set_target_properties(${tool} PROPERTIES
      INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
endforeach()

install(TARGETS reader_dll EXPORT ${READER_PACKAGE}Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime   # the DLL
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime   # lib3100XE_DLL.so.2*
    NAMELINK_COMPONENT dev                                        # lib3100XE_DLL.so
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)      # the import library
install(FILES ${PROJECT_SOURCE_DIR}/include/3100XE_DLL.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

if(TARGET readerctl)
  install(TARGETS readerctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()
# The simulator drives pseudo-terminals: POSIX only.
if(TARGET reader-sim AND NOT WIN32)
  install(TARGETS reader-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
endif()
# The service and what deploys it: systemd units, udev rules and the system
# user, under PREFIX/lib where systemd and udev look (not the multiarch
# directory), and its configuration file.
if(TARGET readerd)
  install(TARGETS readerd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT daemon)
  set(READER_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
  install(FILES ${READER_PACKAGING_DIR}/systemd/readerd.service ${READER_PACKAGING_DIR}/systemd/readerd.socket
    DESTINATION lib/systemd/system COMPONENT daemon)
  install(FILES ${READER_PACKAGING_DIR}/udev/60-reader3100xe.rules
    DESTINATION lib/udev/rules.d COMPONENT daemon)
  install(FILES ${READER_PACKAGING_DIR}/sysusers.d/readerd.conf
    DESTINATION lib/sysusers.d COMPONENT daemon)
  # /etc for the /usr prefix (GNUInstallDirs' rule), decided when installing:
  # cpack installs with the prefix /usr under DESTDIR, an installation into
  # a prefix of one's own keeps it there (PREFIX/etc).
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
      set(reader_etc /etc)
    else()
      set(reader_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
    endif()
    file(INSTALL DESTINATION \"\${reader_etc}\" TYPE FILE
         FILES \"${READER_PACKAGING_DIR}/etc/readerd.conf\")"
    COMPONENT daemon)
endif()

# pkg-config: the prefix is found from the .pc file's own place, so a tree
# installed with `cmake --install --prefix DIR` or moved elsewhere still works.
file(RELATIVE_PATH READER_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" READER_PC_TO_PREFIX "${READER_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/reader3100xe.pc.in
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${READER_PACKAGE}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# CMake: find_package(reader3100xe CONFIG) gives reader3100xe::reader.
install(EXPORT ${READER_PACKAGE}Targets
  NAMESPACE ${READER_PACKAGE}::
  DESTINATION ${READER_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/reader3100xeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}Config.cmake
  INSTALL_DESTINATION ${READER_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/${READER_PACKAGE}ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}Config.cmake
  ${PROJECT_BINARY_DIR}/${READER_PACKAGE}ConfigVersion.cmake
  DESTINATION ${READER_CMAKE_DIR} COMPONENT dev)

if(WIN32)
  # The ZIP carries the licence at its top.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT runtime)
else()
  # Manual pages, gzipped as Debian installs them: section 1 with each tool,
  # section 3 with the development files.
  find_program(READER_GZIP gzip)
  set(READER_MAN_PAGES "readerctl.1 tools" "reader-sim.1 sim" "3100XE_DLL.3 dev")
  if(TARGET readerd)
    list(APPEND READER_MAN_PAGES "readerd.8 daemon")
  endif()
  set(READER_MAN_OUTPUTS)
  foreach(entry IN LISTS READER_MAN_PAGES)
    separate_arguments(entry)
    list(GET entry 0 page)
    list(GET entry 1 component)
    string(REGEX REPLACE ".*\\." "" section "${page}")
    set(source ${PROJECT_SOURCE_DIR}/man/${page})
    if(READER_GZIP)
      set(output ${PROJECT_BINARY_DIR}/man/${page}.gz)
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${READER_GZIP} -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
      list(APPEND READER_MAN_OUTPUTS ${output})
    else()
      set(output ${source})
    endif()
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
      COMPONENT ${component})
  endforeach()
  add_custom_target(reader_man_pages ALL DEPENDS ${READER_MAN_OUTPUTS})

  # Bash completion, loaded on demand by the command's name.
  install(FILES ${PROJECT_SOURCE_DIR}/completions/readerctl
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
  install(FILES ${PROJECT_SOURCE_DIR}/completions/reader-sim
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT sim)

  # The licence notice of every package, in Debian's machine-readable form.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE READER_LICENSE_TEXT)
  string(REGEX REPLACE "^.*\n(Permission is hereby)" "\\1" READER_LICENSE_TEXT "${READER_LICENSE_TEXT}")
  string(REGEX REPLACE "\n+$" "" READER_LICENSE_TEXT "${READER_LICENSE_TEXT}")
  string(REGEX REPLACE "\n\n" "\n.\n" READER_LICENSE_TEXT "${READER_LICENSE_TEXT}")
  string(REGEX REPLACE "\n" "\n " READER_LICENSE_TEXT "${READER_LICENSE_TEXT}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: ${READER_PACKAGE}\n"
    "\n"
    "Files: *\n"
    "Copyright: 2026 reader3100xe developers\n"
    "License: Expat\n"
    " ${READER_LICENSE_TEXT}\n")
  foreach(component IN LISTS READER_COMPONENTS)
    string(TOUPPER ${component} upper)
    install(FILES ${PROJECT_BINARY_DIR}/copyright
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${READER_DEB_${upper}} COMPONENT ${component})
  endforeach()
endif()

# CPack: one .deb per component on Linux, a .zip of the whole tree on Windows.
set(CPACK_PACKAGE_NAME ${READER_PACKAGE})
set(CPACK_PACKAGE_VENDOR "reader3100xe developers")
# No public address exists yet: whoever publishes the packages names theirs.
set(READER_PACKAGE_CONTACT "reader3100xe developers <reader3100xe@localhost>" CACHE STRING
  "Maintainer of the packages (Name <address>)")
set(CPACK_PACKAGE_CONTACT "${READER_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${READER_DESCRIPTION}")
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL ${READER_COMPONENTS})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SOURCE ${READER_PACKAGE})
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack strips what it packages and moves the debug information into a
  # -dbgsym package per binary package (found by build id).
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
  # -dev and the tools need exactly the module built with them.
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_COMPONENT_DEV_DEPENDS runtime)
  set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
  set(CPACK_COMPONENT_DAEMON_DEPENDS runtime)
  foreach(component IN LISTS READER_COMPONENTS)
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${READER_DEB_${upper}})
  endforeach()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_DAEMON_PACKAGE_SECTION utils)
  set(READER_DEB_ABOUT
    "The flat C interface of the 3100XE handheld terminal's two serial\n"
    "data-capture devices: the barcode scan engine on COM port 1 and the\n"
    "13.56 MHz RFID reader module on COM port 2.\n")
  string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "3100XE terminal barcode engine and RFID module library\n" ${READER_DEB_ABOUT}
    "\nThis package holds the shared library lib3100XE_DLL.so.2.")
  string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
    "3100XE terminal library - development files\n" ${READER_DEB_ABOUT}
    "\nThis package holds the header 3100XE_DLL.h, the link library, the\n"
    "pkg-config file and the CMake package reader3100xe, and the\n"
    "3100XE_DLL(3) manual page.")
  string(CONCAT CPACK_DEBIAN_TOOLS_DESCRIPTION
    "3100XE terminal library - command-line tool\n" ${READER_DEB_ABOUT}
    "\nThis package holds readerctl, which starts the reader and prints what\n"
    "it finds, reads and writes the settings, scans barcodes and reads and\n"
    "writes RFID tags, on real devices or a built-in simulated terminal.")
  string(CONCAT CPACK_DEBIAN_SIM_DESCRIPTION
    "3100XE terminal device simulator\n"
    "reader-sim simulates the 3100XE handheld terminal's barcode scan engine\n"
    "and RFID reader module on pseudo-terminals, so that applications of the\n"
    "3100XE_DLL library run without the hardware. Barcodes and tags are\n"
    "presented on its command line or through a control FIFO.")
  string(CONCAT CPACK_DEBIAN_DAEMON_DESCRIPTION
    "3100XE terminal reader service\n" ${READER_DEB_ABOUT}
    "\nThis package holds readerd, which keeps the reader started and serves\n"
    "it to local clients on a Unix socket, one JSON object per line: barcodes\n"
    "and tags as they are read, settings, tag reads and writes. With it come\n"
    "its systemd service and socket units, the system user readerd and the\n"
    "group reader, example udev rules for the devices and /etc/readerd.conf.")
  find_program(READER_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(CMAKE_CROSSCOMPILING)
    # Built for another architecture: dpkg-shlibdeps would look the target's
    # libraries up in this machine's package database, where only the cross
    # toolchain's packages hold them (libc6-arm64-cross and so on), and name
    # those. The binaries need what any program of this compiler needs, the
    # target's C library, libgcc and libstdc++, at least as new as those of
    # the cross toolchain they were linked against.
    include(${CMAKE_CURRENT_LIST_DIR}/ReaderCrossDebianPackage.cmake)
    foreach(component IN ITEMS runtime tools sim daemon)
      string(TOUPPER ${component} upper)
      set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${READER_CROSS_DEB_DEPENDS}")
    endforeach()
    if(READER_CROSS_DEB_ARCHITECTURE)
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${READER_CROSS_DEB_ARCHITECTURE})
    endif()
  elseif(READER_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # readerctl's own module comes from the runtime package (dependency
    # above); dpkg-shlibdeps finds it in the build tree.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
  endif()
  # A shlibs file for the packages that hold a shared library (the runtime),
  # and the loader cache refreshed by dpkg's trigger.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  file(WRITE ${PROJECT_BINARY_DIR}/deb-runtime/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb-runtime/triggers)
  # The service's configuration is the administrator's once installed; its
  # maintainer scripts make the user and group, and tell udev and systemd.
  file(WRITE ${PROJECT_BINARY_DIR}/deb-daemon/conffiles "/etc/readerd.conf\n")
  set(CPACK_DEBIAN_DAEMON_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb-daemon/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
  set(CPACK_DEBIAN_DAEMON_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # CPack writes the -dbgsym packages' md5sums with build-machine paths and
  # gives them no doc folder: mended once they are made.
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ReaderDbgsymRepair.cmake)
  # Packages belong under /usr, with the module in the multiarch directory:
  # GNUInstallDirs chooses it from the prefix given when configuring.
  configure_file(${CMAKE_CURRENT_LIST_DIR}/ReaderCPackOptions.cmake.in
    ${PROJECT_BINARY_DIR}/ReaderCPackOptions.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/ReaderCPackOptions.cmake)
endif()
include(CPack)
