#include "reader_runner.h"

#include <3100XE_DLL.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "decode_type_names.h"
#include "tag_type_names.h"
#include "whole_result.h"

namespace readerd {

namespace {

// How often the reader thread looks up from the library's messages to see a
// stop, a restart request or a failed port; messages themselves wake it at
// once.
constexpr int kDispatchSliceMs = 250;

// The environment as it was before the configuration first changed a key:
// a key the configuration no longer sets gets that value back.
class EnvironmentKeeper {
 public:
  void apply(const std::map<std::string, std::string> &wanted) {
    for (auto &[key, original] : originals_)
      if (!wanted.contains(key)) restore(key, original);
    for (const auto &[key, value] : wanted) {
      if (!originals_.contains(key)) {
        const char *now = std::getenv(key.c_str());
        originals_[key] = now != nullptr ? std::optional<std::string>(now) : std::nullopt;
      }
      ::setenv(key.c_str(), value.c_str(), 1);
    }
  }

 private:
  static void restore(const std::string &key, const std::optional<std::string> &value) {
    if (value) {
      ::setenv(key.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(key.c_str());
    }
  }
  std::map<std::string, std::optional<std::string>> originals_;
};

EnvironmentKeeper &environmentKeeper() {
  static EnvironmentKeeper keeper;
  return keeper;
}

bool isStarted(int result) {
  return result == READER_OK || result == READER_ERR_BARCODE_FAILED || result == READER_ERR_RFID_FAILED;
}

}  // namespace

const char *readerStateName(ReaderState state) {
  switch (state) {
    case ReaderState::Starting: return "starting";
    case ReaderState::Running: return "running";
    case ReaderState::Restarting: return "restarting";
    case ReaderState::Stopped: return "stopped";
  }
  return "stopped";
}

ReaderRunner::ReaderRunner(std::function<void()> wake) : wake_(std::move(wake)) {}

ReaderRunner::~ReaderRunner() { stop(); }

void ReaderRunner::start(Options options) {
  options_ = std::move(options);
  environment_ = options_.environment;
  if (!options_.startReader) {
    std::lock_guard lock(mutex_);
    status_.state = ReaderState::Stopped;
    return;
  }
  thread_ = std::thread([this] { run(); });
}

void ReaderRunner::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ReaderRunner::restartWith(std::map<std::string, std::string> environment) {
  {
    std::lock_guard lock(mutex_);
    environment_ = std::move(environment);
    restartRequested_ = true;
  }
  changed_.notify_all();
}

void ReaderRunner::setMaxRetryDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  options_.maxRetryDelay = delay;
}

std::deque<Announcement> ReaderRunner::takeAnnouncements() {
  std::lock_guard lock(mutex_);
  return std::exchange(announcements_, {});
}

std::deque<ReaderChange> ReaderRunner::takeChanges() {
  std::lock_guard lock(mutex_);
  return std::exchange(changes_, {});
}

ReaderStatus ReaderRunner::status() const {
  std::lock_guard lock(mutex_);
  ReaderStatus status = status_;
  if (status.state == ReaderState::Restarting) {
    const auto left = retryAt_ - std::chrono::steady_clock::now();
    status.retryIn = std::max(0.0, std::chrono::duration<double>(left).count());
  }
  return status;
}

bool ReaderRunner::running() const {
  std::lock_guard lock(mutex_);
  return status_.state == ReaderState::Running;
}

void ReaderRunner::waitWhileStarting(std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, patience, [&] { return stopping_ || status_.state != ReaderState::Starting; });
}

void ReaderRunner::change(ReaderState state, std::string reason) {
  {
    std::lock_guard lock(mutex_);
    if (status_.state == state && reason.empty()) return;
    status_.state = state;
    changes_.push_back({state, std::move(reason)});
  }
  changed_.notify_all();
  wake_();
}

bool ReaderRunner::pause(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, deadline, [&] { return stopping_ || restartRequested_; });
  return !stopping_;
}

bool ReaderRunner::startOnce() {
  std::map<std::string, std::string> environment;
  {
    std::lock_guard lock(mutex_);
    environment = environment_;
    portFailed_ = false;
  }
  int result = 0;
  int active = 0;
  {
    std::lock_guard lifecycle(lifecycle_);
    environmentKeeper().apply(environment);
    result = InitReader();
    active = GetActiveDevice();
    textEngine_ = (GetReaderType() & READER_TYPE_TEXT_ENGINE) != 0;
    if (isStarted(result)) SetTriggerKey(1);
  }
  std::lock_guard lock(mutex_);
  status_.start = ReaderStart{"InitReader", result, {}};
  if (!isStarted(result)) return false;
  // Whatever a start found is what later starts must find again.
  status_.wantedDevices |= active;
  return (active & status_.wantedDevices) == status_.wantedDevices;
}

void ReaderRunner::haltReader() {
  std::lock_guard lifecycle(lifecycle_);
  HaltReader(READER_DEVICE_ALL);
}

void ReaderRunner::run() {
  ReaderHostSetBroadcastListener(&ReaderRunner::onBroadcast, this);
  ReaderHostSetOutputListener(&ReaderRunner::onOutput, this);
  // The listener is for the port errors and the trace: sounds, vibration
  // and keystrokes stay with the terminal's own drivers.
  ReaderHostSetHandledOutputs(0);

  auto delay = options_.firstRetryDelay;
  bool up = startOnce();
  if (up) change(ReaderState::Running, {});
  for (;;) {
    if (up) {
      ReaderHostDispatch(kDispatchSliceMs);
      std::string reason;
      bool reconfigured = false;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) break;
        if (restartRequested_) {
          restartRequested_ = false;
          reconfigured = true;
          reason = "the configuration changed";
        } else if (portFailed_) {
          reason = status_.lastPortError;
        } else {
          continue;
        }
        ++status_.restarts;
      }
      haltReader();
      up = false;
      delay = options_.firstRetryDelay;
      if (reconfigured) {  // started again at once, with the new settings
        change(ReaderState::Starting, reason);
        up = startOnce();
        if (up) change(ReaderState::Running, {});
        continue;
      }
      change(ReaderState::Restarting, reason);
    } else {
      std::chrono::milliseconds maxDelay;
      {
        std::lock_guard lock(mutex_);
        maxDelay = options_.maxRetryDelay;
        retryAt_ = std::chrono::steady_clock::now() + delay;
        if (status_.state != ReaderState::Restarting) {
          status_.state = ReaderState::Restarting;
          changes_.push_back({ReaderState::Restarting, "not every device answered the start"});
        }
      }
      changed_.notify_all();
      wake_();
      if (!pause(retryAt_)) break;
      {
        std::lock_guard lock(mutex_);
        restartRequested_ = false;
      }
      haltReader();  // what the failed start opened
      up = startOnce();
      if (up) {
        change(ReaderState::Running, {});
      } else {
        delay = std::min(delay * 2, maxDelay);
      }
    }
  }
  haltReader();
  ReaderHostSetBroadcastListener(nullptr, nullptr);
  ReaderHostSetOutputListener(nullptr, nullptr);
  change(ReaderState::Stopped, {});
}

void ReaderRunner::onOutput(const ReaderOutput *output, void *context) {
  auto *self = static_cast<ReaderRunner *>(context);
  if (output->kind == READER_OUTPUT_TRACE && output->text != nullptr) {
    std::fprintf(stderr, "%s\n", output->text);
  } else if (output->kind == READER_OUTPUT_PORT_ERROR) {
    std::fprintf(stderr, "readerd: %s\n", output->text != nullptr ? output->text : "a port failed");
    std::lock_guard lock(self->mutex_);
    self->portFailed_ = true;
    self->status_.lastPortError = output->text != nullptr ? output->text : "";
  }
}

void ReaderRunner::onBroadcast(const char *message, long wParam, long, void *context) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0) return;
  if (wParam != READER_DEVICE_BARCODE && wParam != READER_DEVICE_RFID) return;
  auto *self = static_cast<ReaderRunner *>(context);
  // Read now: the next decode replaces what the queries return.
  try {
    Announcement announcement;
    announcement.time = std::chrono::system_clock::now();
    announcement.tag = wParam == READER_DEVICE_RFID;
    if (announcement.tag) {
      announcement.type = GetDecodeTagType();
      if (const char *name = readerctl::tagFamilyName(announcement.type)) announcement.typeName = name;
      announcement.uid = readerctl::readWhole([](char *buffer, int size) { return GetDecodeRfidUID(buffer, size); });
      announcement.data = readerctl::readWhole([](char *buffer, int size) { return GetDecodeRfidData(buffer, size); });
    } else {
      announcement.type = GetDecodeType();
      if (const char *name = readerctl::decodeTypeName(announcement.type, self->textEngine_))
        announcement.typeName = name;
      announcement.data = readerctl::readWhole([](char *buffer, int size) { return GetDecodeData(buffer, size); });
    }
    announcement.record = readerctl::readWhole(
        [wParam](char *buffer, int size) { return GetOutputRecord(static_cast<int>(wParam), buffer, size); });
    {
      std::lock_guard lock(self->mutex_);
      self->announcements_.push_back(std::move(announcement));
    }
    self->wake_();
  } catch (const std::exception &) {
    // Out of memory: this announcement is lost; nothing may unwind into the library.
  }
}

}  // namespace readerd
