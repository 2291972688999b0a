// What the barcode scan engines share: the barcodes in front of them and
// their scan cycles.
//
// What an engine sees is a queue of scan outcomes (a barcode, a no-read,
// silence), one per scan, and behind it a steady barcode seen whenever the
// queue is empty. With neither, the engine sees nothing and stays silent.
//
// A scan cycle opens when the host switches scanning on. It takes the next
// outcome at once and sends it after the decode delay; when nothing was in
// view, it sends the first outcome presented while it stays open. Switching
// off, or the host closing the port, ends the cycle: an outcome not yet sent
// is dropped. With a session limit, a cycle that has had nothing to send for
// that long ends on its own and the engine is off again, as a real engine's
// laser-on time ends a session the host never switched off.
//
// A self-triggered engine scans on its own. It sends each outcome as it
// comes into view and a steady barcode again and again, at least the repeat
// interval apart, only once the line has been quiet that long (so a decode
// does not cut into a command exchange), and never while the host has the
// port closed.
//
// All public methods are thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "readersim/barcode.h"
#include "readersim/pty_device.h"
#include "readersim/scan_outcome.h"

namespace readersim {

class BarcodeEngine : public PtyDevice {
 public:
  static constexpr std::chrono::milliseconds kDefaultRepeatInterval{100};

  struct SentDecode {
    Barcode barcode;
    bool acknowledged = false;  // SSI engines: the host acknowledged it
  };

  // Why this engine cannot send `barcode` (data its protocol cannot carry);
  // nullopt when it can. A symbology the engine has no type for is not
  // refused: the engine sees it and does not decode it.
  virtual std::optional<std::string> refusal(const Barcode &barcode) const = 0;

  // Throws std::invalid_argument with the refusal() text.
  void presentBarcode(Barcode barcode);
  void presentNoRead();
  void presentSilence();
  // Empties the queue; the steady barcode stays.
  void clearPresented();
  // nullopt: nothing steady in view. Throws as presentBarcode().
  void setSteadyBarcode(std::optional<Barcode> barcode);
  std::optional<Barcode> steadyBarcode() const;
  // The queue, next outcome first.
  std::vector<ScanOutcome> presented() const;

  // Between switching on and sending the decode; 0 by default.
  void setDecodeDelay(std::chrono::milliseconds delay);
  std::chrono::milliseconds decodeDelay() const;
  // Between two decodes of a self-triggered engine.
  void setRepeatInterval(std::chrono::milliseconds interval);
  std::chrono::milliseconds repeatInterval() const;
  // From switching on to the end of an empty cycle; nullopt (the default):
  // the cycle waits for the host's switch-off.
  void setSessionLimit(std::optional<std::chrono::milliseconds> limit);

  // Switched on by the host (kind 2 "ON", SSI start decode) and not off.
  bool scanning() const;
  // A switch-on still waits to send its outcome.
  bool cycleOpen() const;
  bool selfTriggered() const;

  // Decodes handed to the line, oldest first.
  std::vector<SentDecode> sentDecodes() const;
  std::size_t decodesSent() const;
  std::size_t decodesAcknowledged() const;
  // Barcodes taken by a switch-on and dropped by the switch-off.
  std::size_t decodesDropped() const;

 protected:
  BarcodeEngine(int kind, int startSpeed);

  // For hooks (mutex held).
  void switchOnLocked();
  void switchOffLocked();
  bool scanningLocked() const { return scanning_; }
  // The subclass sent a decode of `barcode`.
  void decodeSentLocked(const Barcode &barcode);
  // The host acknowledged the last decode sent, if it waits for that.
  void acknowledgeDecodeLocked();
  virtual bool selfTriggeredLocked() const { return false; }
  // Sends one outcome as the engine's protocol does.
  virtual void sendOutcomeLocked(const ScanOutcome &outcome) = 0;

  void onHostOpened() override;
  void onHostClosed() override;
  std::optional<std::chrono::steady_clock::time_point> timerDue() const override;
  void onTimer() override;

 private:
  using TimePoint = std::chrono::steady_clock::time_point;

  void present(ScanOutcome outcome);
  bool inViewLocked() const;
  std::optional<ScanOutcome> takeNextLocked();
  std::optional<TimePoint> cycleDueLocked() const;
  std::optional<TimePoint> sessionEndDueLocked() const;
  std::optional<TimePoint> selfScanDueLocked() const;

  std::deque<ScanOutcome> queue_;
  std::optional<Barcode> steady_;
  std::chrono::milliseconds decodeDelay_{0};
  std::chrono::milliseconds repeatInterval_{kDefaultRepeatInterval};
  std::optional<std::chrono::milliseconds> sessionLimit_;

  bool scanning_ = false;
  bool cycleOpen_ = false;
  TimePoint cycleStart_{};
  std::optional<ScanOutcome> cycleOutcome_;

  TimePoint nextSelfScan_{};
  TimePoint hostOpenedAt_{};

  std::vector<SentDecode> sent_;
  bool awaitingAck_ = false;
  std::size_t dropped_ = 0;
};

}  // namespace readersim
