// A minimal check harness for the Windows test programs (no test framework
// is built for Windows here): failed checks are counted and printed, and the
// program's exit status says whether any failed.
#pragma once

#include <cstdio>

namespace winetest {

inline int &failures() {
  static int count = 0;
  return count;
}

inline bool check(bool ok, const char *what, const char *file, int line) {
  if (!ok) {
    ++failures();
    std::printf("FAILED %s:%d: %s\n", file, line, what);
    std::fflush(stdout);
  }
  return ok;
}

}  // namespace winetest

#define WINE_CHECK(condition) ::winetest::check((condition), #condition, __FILE__, __LINE__)
#define WINE_CHECK_EQ(actual, expected)                                                         \
  do {                                                                                          \
    const long long actual_ = (actual), expected_ = (expected);                                 \
    if (!::winetest::check(actual_ == expected_, #actual " == " #expected, __FILE__, __LINE__)) \
      std::printf("  actual %lld, expected %lld\n", actual_, expected_);                        \
  } while (0)
