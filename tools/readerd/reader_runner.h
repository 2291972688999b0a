// The reader thread: starts the reader (and so owns the library's hidden
// window), dispatches its messages, and keeps it running. A device that
// fails under its port (the library's port-error output) halts the reader;
// it is started again after 1 s, then after twice as long each time up to
// the configured limit, until every device it had before answers again.
// Whatever it learns (announcements, changes of state) it queues for the
// socket thread and signals through `wake`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reader_commands.h"

struct ReaderOutput;

namespace readerd {

struct Announcement {
  bool tag = false;
  int type = 0;
  std::string typeName;
  std::string data;
  std::string uid;
  std::string record;
  std::chrono::system_clock::time_point time;
};

enum class ReaderState { Starting, Running, Restarting, Stopped };
const char *readerStateName(ReaderState state);

struct ReaderChange {
  ReaderState state = ReaderState::Starting;
  std::string reason;
};

struct ReaderStatus {
  ReaderState state = ReaderState::Starting;
  ReaderStart start;
  int wantedDevices = 0;  // the devices every start must find again
  std::uint64_t restarts = 0;
  double retryIn = 0;  // seconds until the next attempt, while restarting
  std::string lastPortError;
};

class ReaderRunner {
 public:
  struct Options {
    bool startReader = true;  // false: a service without a reader (tests of the protocol alone)
    std::chrono::milliseconds firstRetryDelay{1000};
    std::chrono::milliseconds maxRetryDelay{30000};
    std::map<std::string, std::string> environment;  // applied before each start
  };

  explicit ReaderRunner(std::function<void()> wake);
  ~ReaderRunner();
  ReaderRunner(const ReaderRunner &) = delete;
  ReaderRunner &operator=(const ReaderRunner &) = delete;

  void start(Options options);
  // Halts the reader and ends the thread.
  void stop();

  // A new environment: the reader is halted and started with it, at once.
  void restartWith(std::map<std::string, std::string> environment);
  void setMaxRetryDelay(std::chrono::milliseconds delay);

  // For the socket thread.
  std::deque<Announcement> takeAnnouncements();
  std::deque<ReaderChange> takeChanges();
  ReaderStatus status() const;

  // Held while the reader starts or halts; the command thread holds it
  // around each command, so none runs into a restart. Running: whether the
  // reader is up (checked with the lock held).
  std::unique_lock<std::mutex> lockLifecycle() { return std::unique_lock(lifecycle_); }
  bool running() const;
  // Waits while the reader is starting (at most `patience`), so that a
  // command sent at the service's start is answered after it.
  void waitWhileStarting(std::chrono::milliseconds patience);

 private:
  static void onBroadcast(const char *message, long wParam, long lParam, void *context);
  static void onOutput(const ::ReaderOutput *output, void *context);
  void run();
  bool startOnce();  // true when every wanted device is back
  void haltReader();
  void change(ReaderState state, std::string reason);
  // Waits until `deadline`, a stop or a restart request. False on stop.
  bool pause(std::chrono::steady_clock::time_point deadline);

  std::function<void()> wake_;
  Options options_;
  std::thread thread_;
  std::mutex lifecycle_;

  mutable std::mutex mutex_;  // everything below
  std::condition_variable changed_;
  bool stopping_ = false;
  bool restartRequested_ = false;
  bool portFailed_ = false;
  ReaderStatus status_;
  std::chrono::steady_clock::time_point retryAt_{};
  std::deque<Announcement> announcements_;
  std::deque<ReaderChange> changes_;
  std::map<std::string, std::string> environment_;
  bool textEngine_ = false;
};

}  // namespace readerd
