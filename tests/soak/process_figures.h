// What a long run watches in its own process: memory, open descriptors and
// threads, taken at an early checkpoint and at the end and compared; and the
// lines that report them ("SOAK ..." on standard output, which
// scripts/soak.sh collects).
#pragma once

#include <cstdint>
#include <string>

namespace soak_testing {

struct ProcessFigures {
  long rssKb = 0;              // VmRSS
  long hwmKb = 0;              // VmHWM, the peak resident size so far
  std::int64_t heapInUse = 0;  // bytes malloc has handed out and not had back
  int descriptors = 0;         // entries of /proc/self/fd
  int threads = 0;             // entries of /proc/self/task

  static ProcessFigures now();
};

// How much an end may exceed its checkpoint and still count as flat. Heap
// and resident size move a little with allocator caches and arenas; a
// descriptor or a thread more is always a leak.
struct Tolerance {
  std::int64_t heapBytes = 256 * 1024;
  long rssKb = 2048;
};

// The differences beyond the tolerance, one line each; empty when flat.
// Under a sanitizer only descriptors and threads are compared.
std::string growthBeyond(const ProcessFigures &checkpoint, const ProcessFigures &end, const Tolerance &tolerance);

// Prints "SOAK <run> <label> rss_kb=... hwm_kb=... heap=... fds=... threads=...".
void report(const std::string &run, const std::string &label, const ProcessFigures &figures);
// Prints "SOAK <run> <text>" and flushes.
void reportLine(const std::string &run, const std::string &text);

// A count taken from the environment variable `name` (a positive integer),
// or `fallback` when it is unset or not one.
long countFromEnvironment(const char *name, long fallback);

}  // namespace soak_testing
