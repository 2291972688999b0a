// What a host application sees of the reader while it scans: the broadcasts
// and the outputs (keystrokes, sounds, vibrator) through the host API, and a
// dispatch loop on the thread that started the reader.
#pragma once

#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/test_terminal.h"

namespace scan_testing {

struct Broadcast {
  std::string message;
  long wParam = 0;
};

struct Output {
  int kind = 0;
  long value = 0;
  long value2 = 0;
  std::string text;
  std::vector<std::int32_t> characters;  // KEY_CHARS
};

class ScanHost {
 public:
  ScanHost() {
    ReaderHostSetBroadcastListener(&ScanHost::onBroadcast, this);
    ReaderHostSetOutputListener(&ScanHost::onOutput, this);
  }
  ~ScanHost() {
    ReaderHostSetBroadcastListener(nullptr, nullptr);
    ReaderHostSetOutputListener(nullptr, nullptr);
  }
  ScanHost(const ScanHost &) = delete;
  ScanHost &operator=(const ScanHost &) = delete;

  // Announced decodes so far: WM_DECODEDATA broadcasts with that mask.
  int announced(long mask = 7) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Broadcast &b : broadcasts_) n += b.message == "WM_DECODEDATA" && b.wParam == mask ? 1 : 0;
    return n;
  }
  std::vector<Output> outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
  }
  std::vector<Output> outputsOf(int kind) const {
    std::vector<Output> out;
    for (const Output &o : outputs())
      if (o.kind == kind) out.push_back(o);
    return out;
  }

  // Dispatches the calling thread's messages until `done` holds; false when
  // the patience ran out first.
  static bool dispatchUntil(const std::function<bool()> &done,
                            std::chrono::milliseconds patience = testing_support::kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      ReaderHostDispatch(20);
    }
    return true;
  }

  // Dispatches for a while in which nothing is expected to happen.
  static void dispatchFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) ReaderHostDispatch(20);
  }

  // Presses trigger key 1, dispatches until `done`, releases it.
  bool pressUntil(const std::function<bool()> &done) {
    ReaderHostTriggerKey(1, 1);
    const bool happened = dispatchUntil(done);
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
    return happened;
  }

 private:
  static void onBroadcast(const char *message, long wParam, long, void *context) {
    auto *self = static_cast<ScanHost *>(context);
    std::lock_guard lock(self->mutex_);
    self->broadcasts_.push_back({message, wParam});
  }
  static void onOutput(const ReaderOutput *output, void *context) {
    if (output->kind == READER_OUTPUT_TRACE) return;
    auto *self = static_cast<ScanHost *>(context);
    Output o{output->kind, output->value, output->value2, output->text ? output->text : "", {}};
    if (output->kind == READER_OUTPUT_KEY_CHARS && output->data != nullptr) {
      const auto *chars = static_cast<const std::int32_t *>(output->data);
      o.characters.assign(chars, chars + output->dataLength);
    }
    std::lock_guard lock(self->mutex_);
    self->outputs_.push_back(std::move(o));
  }

  mutable std::mutex mutex_;
  std::vector<Broadcast> broadcasts_;
  std::vector<Output> outputs_;
};

// Lets the trigger drive the engine of `engineKind` (the text engine leaves
// the factory triggering itself) and gives each scan `scanSeconds` to decode
// (0: the engine's own setting). True when the settings were taken.
inline bool prepareTriggeredScans(int engineKind, int scanSeconds = 0) {
  constexpr int kTextEngineTriggerModeByte = 78;
  const int scanTimeByte = engineKind == 2 ? 79 : engineKind == 3 ? 283 : 165;
  std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
  if (GetReaderSettings(record.data()) != 1) return false;
  if (engineKind == 2) record[kTextEngineTriggerModeByte] = 0;
  if (scanSeconds > 0) record[scanTimeByte] = static_cast<unsigned char>(scanSeconds);
  return SetReaderSettings(record.data()) == 1;
}

// Writes the settings back as they are: a text engine in a self-triggered
// mode (as it leaves the factory) is then waited for by the library's loop.
inline bool armSelfTriggeredLoop() {
  std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
  return GetReaderSettings(record.data()) == 1 && SetReaderSettings(record.data()) == 1;
}

inline std::string decodeData() {
  char buffer[512] = {};
  const int n = GetDecodeData(buffer, sizeof buffer);
  return n < 0 ? "<error>" : std::string(buffer, static_cast<std::size_t>(n));
}

inline std::string outputRecord(int mask) {
  char buffer[1024] = {};
  const int n = GetOutputRecord(mask, buffer, sizeof buffer);
  return n < 0 ? "<error>" : std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace scan_testing
