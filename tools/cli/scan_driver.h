// Makes the barcode engine scan for readerctl. On the terminal the user's
// trigger key does that. Here a TriggerPresser stands in for the key driver:
// it holds trigger key 1 down until a decode is announced or the hold time
// runs out, lets it up, and presses again after a pause.
//
// A text engine in a self-triggered trigger mode (1, 5 or 7) ignores the
// trigger and scans on its own, and the library waits for those decodes only
// once SetReaderSettings has set such a mode. For such an engine readerctl
// writes the settings back unchanged, which starts that wait without changing
// anything in the engine, and presses nothing.
//
// Runs on the thread that started the reader: it dispatches the library's
// window messages.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <ostream>

#include "decode_announcements.h"
#include "trigger_presser.h"

namespace readerctl {

class ScanDriver {
 public:
  using Clock = TriggerPresser::Clock;
  using Timing = TriggerPresser::Timing;

  explicit ScanDriver(Timing timing) : presser_(timing) {}
  ScanDriver(const ScanDriver &) = delete;
  ScanDriver &operator=(const ScanDriver &) = delete;

  // Enables the trigger keys and finds out how the engine scans. False, with
  // a message on `err`, when no barcode engine is at work or its settings
  // cannot be read.
  bool begin(std::ostream &err);

  // The trigger mode of an engine that triggers itself; nullopt when the
  // trigger starts its scans.
  std::optional<int> selfTriggeredMode() const { return selfTriggeredMode_; }

  // Dispatches until a decode is announced (returned), `deadline` passes or
  // `stop` is set (nullopt for both). The key is up again when it returns.
  std::optional<Decode> next(DecodeAnnouncements &decodes, Clock::time_point deadline, const std::atomic<bool> &stop);

 private:
  TriggerPresser presser_;
  std::optional<int> selfTriggeredMode_;
};

}  // namespace readerctl
