# GoogleTest compiled with the project's own compiler from a source tree
# (Debian's googletest package puts it in /usr/src/googletest). It names its
# libraries as find_package(GTest) does, GTest::gtest and GTest::gtest_main;
# the gmock headers come with GTest::gtest here, as they do from /usr/include.
set(READER_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
  "GoogleTest's source tree, built when cross-compiling")
if(NOT EXISTS ${READER_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "no GoogleTest sources in ${READER_GOOGLETEST_SOURCE} "
    "(apt-get install googletest, or set READER_GOOGLETEST_SOURCE)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${READER_GOOGLETEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_include_directories(gtest SYSTEM INTERFACE ${READER_GOOGLETEST_SOURCE}/googlemock/include)
