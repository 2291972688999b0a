#include "start_progress.h"

#include <chrono>
#include <string>

namespace readerctl {

StartProgress::StartProgress(std::ostream &terminal) : terminal_(terminal) {
  show(0);
  thread_ = std::thread([this] { run(); });
}

StartProgress::~StartProgress() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  ended_.notify_one();
  thread_.join();
  terminal_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
}

void StartProgress::run() {
  const auto begun = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  for (int seconds = 1;; ++seconds) {
    if (ended_.wait_until(lock, begun + std::chrono::seconds(seconds), [this] { return done_; })) return;
    show(seconds);
  }
}

void StartProgress::show(int seconds) {
  const std::string line = "readerctl: starting the reader... " + std::to_string(seconds) + " s";
  terminal_ << '\r' << line << std::flush;
  shownLength_ = line.size();
}

}  // namespace readerctl
