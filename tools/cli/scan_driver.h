// Makes the barcode engine scan for readerctl. On the terminal the user's
// trigger key does that. Where nothing reads that key (see pressesTrigger) a
// TriggerPresser stands in for the key driver: it holds trigger key 1 down
// until a decode is announced or the hold time runs out, lets it up, and
// presses again after a pause. Otherwise the driver only waits for the
// decodes of the user's presses.
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

  // `pressing`: readerctl presses the trigger itself.
  ScanDriver(Timing timing, bool pressing) : presser_(timing), pressing_(pressing) {}
  ScanDriver(const ScanDriver &) = delete;
  ScanDriver &operator=(const ScanDriver &) = delete;

  // Enables the trigger keys and finds out how the engine scans. False, with
  // a message on `err`, when no barcode engine is at work or its settings
  // cannot be read.
  bool begin(std::ostream &err);

  // The trigger mode of an engine that triggers itself; nullopt when the
  // trigger starts its scans.
  std::optional<int> selfTriggeredMode() const { return selfTriggeredMode_; }

  // Whether the decodes wait for the user's trigger press: readerctl does
  // not press, and the engine does not trigger itself.
  bool waitsForTheUser() const { return !pressing_ && !selfTriggeredMode_; }

  // Dispatches until a decode is announced (returned), `deadline` passes or
  // `stop` is set (nullopt for both). The key is up again when it returns.
  std::optional<Decode> next(DecodeAnnouncements &decodes, Clock::time_point deadline, const std::atomic<bool> &stop);

 private:
  TriggerPresser presser_;
  bool pressing_;
  std::optional<int> selfTriggeredMode_;
};

}  // namespace readerctl
