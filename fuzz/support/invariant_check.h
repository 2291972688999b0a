// Stopping a fuzz run when the library breaks a promise: the broken
// condition and where it is checked go to stderr, then the process aborts,
// which the fuzzing engine reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define READER_FUZZ_CHECK(condition)                                                         \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
