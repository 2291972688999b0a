// An RFID module played by the test on a pseudo-terminal: each command the
// library writes (a burst of bytes that ends in a short quiet) is recorded
// and answered by the test's rule, on a thread of its own.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/raw_pty.h"

namespace testing_support {

class ScriptedModule {
 public:
  // Returns the answer to a command, "" for none.
  using Rule = std::function<std::string(const std::string &command)>;

  explicit ScriptedModule(Rule rule) : pty_(2), rule_(std::move(rule)) {
    // Held open so that the line stays up while the library's port is
    // closed between cycles.
    slave_ = ::open(pty_.path().c_str(), O_RDWR | O_NOCTTY);
    thread_ = std::thread([this] { run(); });
  }
  ~ScriptedModule() {
    stop_ = true;
    thread_.join();
    if (slave_ >= 0) ::close(slave_);
  }
  ScriptedModule(const ScriptedModule &) = delete;
  ScriptedModule &operator=(const ScriptedModule &) = delete;

  std::vector<std::string> commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
  }

 private:
  void run() {
    while (!stop_) {
      const auto bytes = pty_.receive(std::chrono::milliseconds(50));
      if (bytes.empty()) continue;
      const std::string command(bytes.begin(), bytes.end());
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
      }
      const std::string answer = rule_(command);
      if (!answer.empty()) pty_.send(answer);
    }
  }

  RawPty pty_;
  int slave_ = -1;
  Rule rule_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
  std::thread thread_;
};

}  // namespace testing_support
