// The command thread: runs the commands that exchange bytes with a device,
// one at a time and in the order they came, so that the socket thread goes
// on serving every other client meanwhile. Each answer goes back to the
// client that asked, if it is still there.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "json_line.h"
#include "reader_commands.h"

namespace readerd {

class ReaderRunner;

class CommandWorker {
 public:
  // Commands waiting beyond this are refused ("busy").
  static constexpr std::size_t kQueueLimit = 64;

  struct Answer {
    std::uint64_t client = 0;
    std::string line;
  };

  CommandWorker(ReaderRunner &reader, std::function<void()> wake);
  ~CommandWorker();
  CommandWorker(const CommandWorker &) = delete;
  CommandWorker &operator=(const CommandWorker &) = delete;

  // False when the queue is full.
  bool submit(std::uint64_t client, const ReaderCommand &command, JsonObject request);
  std::deque<Answer> takeAnswers();
  void stop();

 private:
  struct Job {
    std::uint64_t client;
    const ReaderCommand *command;
    JsonObject request;
  };
  void run();

  ReaderRunner &reader_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<Job> jobs_;
  std::deque<Answer> answers_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace readerd
