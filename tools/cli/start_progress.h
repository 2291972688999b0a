// The progress of a long start on a terminal: InitReader can take many
// seconds (an SSI engine probed at every speed, a module that does not
// answer), and a silent terminal looks hung. While it lives, a line
// "readerctl: starting the reader... N s" is kept up to date with carriage
// returns; it is wiped when the start ends.
#pragma once

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>

namespace readerctl {

class StartProgress {
 public:
  // Shows the line on `terminal` at once and counts the seconds. `terminal`
  // must be a terminal, and nothing else may write to it until the progress
  // ends.
  explicit StartProgress(std::ostream &terminal);
  // Wipes the line, leaving the cursor at the start of it.
  ~StartProgress();
  StartProgress(const StartProgress &) = delete;
  StartProgress &operator=(const StartProgress &) = delete;

 private:
  void run();
  void show(int seconds);

  std::ostream &terminal_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::size_t shownLength_ = 0;
  std::thread thread_;
};

}  // namespace readerctl
