# Run by cpack once the .deb files are made. CPack writes each -dbgsym
# package's md5sums with the build machine's absolute paths (dpkg and lintian
# then find none of its files) and gives it no /usr/share/doc entry; Debian's
# own -dbgsym packages point that entry at the package they belong to.
find_program(READER_DPKG_DEB dpkg-deb REQUIRED)
foreach(package_file IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package_file MATCHES "/([^/_]+)-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(owner ${CMAKE_MATCH_1})
  set(tree ${package_file}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${READER_DPKG_DEB} -R ${package_file} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(STRINGS ${tree}/DEBIAN/md5sums lines)
  set(md5sums "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^([0-9a-f]+)  .*/(usr/lib/debug/.*)$" "\\1  \\2" line "${line}")
    string(APPEND md5sums "${line}\n")
  endforeach()
  file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")
  file(MAKE_DIRECTORY ${tree}/usr/share/doc)
  file(CREATE_LINK ${owner} ${tree}/usr/share/doc/${owner}-dbgsym SYMBOLIC)
  execute_process(COMMAND ${READER_DPKG_DEB} --root-owner-group --build ${tree} ${package_file}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
