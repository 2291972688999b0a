#include "soak/process_figures.h"

#include <dirent.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace soak_testing {
namespace {

// A sanitizer's allocator keeps freed blocks in quarantine and does not
// answer mallinfo2, so memory figures say nothing there; descriptors and
// threads still do.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryComparable = false;
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryComparable = false;
#  else
constexpr bool kMemoryComparable = true;
#  endif
#else
constexpr bool kMemoryComparable = true;
#endif

int entriesOf(const char *directory) {
  DIR *dir = opendir(directory);
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent *entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  // The directory stream itself held a descriptor while it was counted.
  return std::strcmp(directory, "/proc/self/fd") == 0 ? count - 1 : count;
}

long statusKb(const std::string &status, const char *field) {
  const std::size_t at = status.find(field);
  if (at == std::string::npos) return -1;
  return std::strtol(status.c_str() + at + std::strlen(field), nullptr, 10);
}

}  // namespace

ProcessFigures ProcessFigures::now() {
  ProcessFigures figures;
  std::ifstream file("/proc/self/status");
  std::stringstream text;
  text << file.rdbuf();
  const std::string status = text.str();
  figures.rssKb = statusKb(status, "VmRSS:");
  figures.hwmKb = statusKb(status, "VmHWM:");
  const struct mallinfo2 info = mallinfo2();
  figures.heapInUse = static_cast<std::int64_t>(info.uordblks + info.hblkhd);
  figures.descriptors = entriesOf("/proc/self/fd");
  figures.threads = entriesOf("/proc/self/task");
  return figures;
}

std::string growthBeyond(const ProcessFigures &checkpoint, const ProcessFigures &end, const Tolerance &tolerance) {
  std::string out;
  auto line = [&out](const char *what, long long from, long long to) {
    out += std::string(what) + " " + std::to_string(from) + " -> " + std::to_string(to) + "\n";
  };
  if (kMemoryComparable && end.heapInUse - checkpoint.heapInUse > tolerance.heapBytes)
    line("heap bytes", checkpoint.heapInUse, end.heapInUse);
  if (kMemoryComparable && end.rssKb - checkpoint.rssKb > tolerance.rssKb) line("rss kB", checkpoint.rssKb, end.rssKb);
  if (end.descriptors != checkpoint.descriptors) line("descriptors", checkpoint.descriptors, end.descriptors);
  if (end.threads != checkpoint.threads) line("threads", checkpoint.threads, end.threads);
  return out;
}

void report(const std::string &run, const std::string &label, const ProcessFigures &figures) {
  std::printf("SOAK %s %s rss_kb=%ld hwm_kb=%ld heap_bytes=%lld fds=%d threads=%d\n", run.c_str(), label.c_str(),
              figures.rssKb, figures.hwmKb, static_cast<long long>(figures.heapInUse), figures.descriptors,
              figures.threads);
  std::fflush(stdout);
}

void reportLine(const std::string &run, const std::string &text) {
  std::printf("SOAK %s %s\n", run.c_str(), text.c_str());
  std::fflush(stdout);
}

long countFromEnvironment(const char *name, long fallback) {
  const char *value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  char *end = nullptr;
  const long parsed = std::strtol(value, &end, 10);
  return *end == '\0' && parsed > 0 ? parsed : fallback;
}

}  // namespace soak_testing
