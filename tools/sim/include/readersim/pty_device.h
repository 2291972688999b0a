// A simulated serial device: one pseudo-terminal and one thread that frames
// what the host sends and answers it at the device's own line speed.
//
// All public methods are thread-safe. A concrete device class is final,
// calls start() as the last step of its constructor and shutdown() as the
// first step of its destructor, so the thread never runs a hook of a
// half-built or half-destroyed object.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "readersim/pseudo_terminal.h"
#include "readersim/traffic_log.h"

namespace readersim {

class PtyDevice {
 public:
  PtyDevice(const PtyDevice &) = delete;
  PtyDevice &operator=(const PtyDevice &) = delete;
  virtual ~PtyDevice();

  // The DeviceKind this device simulates (2 to 6).
  int kind() const { return kind_; }
  // The slave path the host opens (READER_COM1 / READER_COM2).
  const std::string &portPath() const { return pty_.slavePath(); }

  TrafficLog &log() { return log_; }
  const TrafficLog &log() const { return log_; }

  // The device's own line speed. Bytes arriving while the host's speed
  // differs are noise to it (recorded as kGarbled); it answers only at this
  // speed (an answer due while the host's speed differs is recorded as
  // kNotSent).
  int speed() const;
  // Moves the device to another speed at once (as a power cycle or a
  // jumper would). Throws std::invalid_argument for a non-standard speed.
  void setSpeed(int bitsPerSecond);
  // The host's current line speed, read from the pseudo-terminal.
  std::optional<int> hostSpeed() const;

  // Pacing: send answers one byte at a time at the real byte time of the
  // device's speed. Off by default.
  void setPacing(bool on);
  bool pacing() const;

  // Fault controls.
  // Silent: frames are recorded (flag kIgnored) and never acted upon; a
  // device that is absent although its port exists behaves the same.
  void setSilent(bool on);
  bool silent() const;
  // Ignore the next `frames` complete frames, as when silent.
  void silenceNext(int frames);
  // Sends arbitrary bytes to the host (garbage, cut frames) at whatever
  // speed the line has; returns when they are written or known not sent.
  void injectBytes(std::span<const std::uint8_t> bytes);
  void injectText(std::string_view text);
  // Closes the device's end for good: the host's next read or write fails
  // with a hang-up, and the device answers nothing any more.
  void vanish();
  bool vanished() const;
  // Spoils every answer the device gives (decodes and tag lines included)
  // until set back to None; injected bytes are left alone.
  //   Garbage    as many bytes of noise, none of which ends or starts a
  //              frame of any kind (no CR, LF, ESC, brackets, spaces, zero)
  //   Cut        only the first half of the answer, the rest never comes
  //   Oversized  kOversizeFill filler bytes ('A') before the answer's
  //              trailer (its terminator or checksum), so that it is framed
  //              as one answer far longer than any real one
  enum class AnswerFault { None, Garbage, Cut, Oversized };
  static constexpr std::size_t kOversizeFill = 3000;
  void setAnswerFault(AnswerFault fault);
  AnswerFault answerFault() const;
  // A device that keeps talking: once trickling, it answers nothing and
  // sends kTrickleByte every `interval`, forever (while the host has the
  // port open), a byte that ends no frame of any kind. startTrickle begins
  // at once; trickleFromFrame begins when the `frame`-th complete frame from
  // now arrives (1: the next one), which it answers that way. stopTrickle
  // ends it (and a pending start); the device answers again.
  static constexpr std::uint8_t kTrickleByte = 'U';
  void startTrickle(std::chrono::milliseconds interval);
  void trickleFromFrame(std::chrono::milliseconds interval, int frame);
  void stopTrickle();
  bool trickling() const;
  // Trickled bytes written to the host so far.
  std::size_t trickledBytes() const;

  // The host's end of the port, as seen from the device. Open and close are
  // noticed within a few milliseconds (an open and close quicker than that
  // may go unnoticed); a count goes up once its record is in the log.
  bool hostOpen() const;
  int hostOpenCount() const;
  int hostCloseCount() const;
  bool waitForHostOpenCount(int count, std::chrono::milliseconds timeout) const;
  bool waitForHostCloseCount(int count, std::chrono::milliseconds timeout) const;

  // Complete frames received so far (TrafficRecord::isFrame), as the device
  // framed them.
  std::vector<std::vector<std::uint8_t>> framesReceived() const;
  // Waits until at least `count` complete frames have been received.
  bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits until at least `count` answers have reached the host.
  bool waitForAnswers(std::size_t count, std::chrono::milliseconds timeout) const;

 protected:
  PtyDevice(int kind, int startSpeed);

  void start();
  void shutdown();

  // Hooks, run on the device thread with mutex() held.
  // Bytes received while the host's speed matched the device's.
  virtual void onBytes(std::span<const std::uint8_t> bytes) = 0;
  // How long the line may stay silent while a frame is partly received
  // before onSilence(); nullopt when no frame is pending.
  virtual std::optional<std::chrono::milliseconds> pendingFrameTimeout() const { return std::nullopt; }
  virtual void onSilence() {}
  // Noise arrived or the host closed the port: drop any partial frame.
  virtual void onLineReset() {}
  // The host opened the port.
  virtual void onHostOpened() {}
  // The host closed the port (after onLineReset()).
  virtual void onHostClosed() {}
  // When onTimer() is next due; nullopt when nothing is timed. Asked again
  // after every hook and every wake(), so a public method that changes what
  // it returns calls wake().
  virtual std::optional<std::chrono::steady_clock::time_point> timerDue() const { return std::nullopt; }
  virtual void onTimer() {}
  // The bytes that end an answer of this device (its terminator or
  // checksum), which an oversized answer keeps at its end.
  virtual std::size_t answerTrailerLength() const { return 1; }

  // For hooks and for subclass methods that hold mutex().
  std::mutex &mutex() const { return mutex_; }
  int speedLocked() const { return speed_; }
  bool hostOpenLocked() const { return hostOpen_; }
  // When the last bytes arrived from the host.
  std::chrono::steady_clock::time_point lastByteTimeLocked() const { return lastByteTime_; }
  // Records a complete frame; false when a fault control says the device
  // must not act on it (the record then carries kIgnored). A subclass may
  // pass kIgnored itself for its own silence rules.
  bool acceptFrame(std::span<const std::uint8_t> frame, unsigned flags = 0);
  // Records received bytes that are not a complete frame (kIncomplete,
  // kMalformed).
  void recordReceived(std::span<const std::uint8_t> bytes, unsigned flags);
  // Queues an answer at the device's current speed. Sent after the hook
  // returns, or soon when queued from a public method (which wakes the
  // device thread itself).
  void answer(std::span<const std::uint8_t> bytes);
  void answer(std::string_view text);
  // Queues a move to another speed, made once the answers queued before it
  // are sent (an acknowledgement goes out at the old speed).
  void switchSpeedAfterAnswers(int bitsPerSecond);
  // Wakes the device thread so it sends what a public method queued.
  void wake();
  // For a line the host drives beside the data (a wake line): runs `change`
  // with mutex() held on the device thread, once every byte the host wrote
  // before this call has been taken in, so that the change comes after
  // those bytes, as on a wire. Returns when it has run.
  void applyLineChange(const std::function<void()> &change);

 private:
  struct Output {
    enum class Kind { Answer, Injected, SpeedChange } kind;
    std::vector<std::uint8_t> bytes;
    int speed = 0;
  };

  void run();
  void waitForEvents(int timeoutMs);
  int pollTimeoutMs() const;
  // Reads what the host sent; false when the host has hung up.
  bool readIncoming();
  void handleIncoming(std::span<const std::uint8_t> bytes);
  void checkSilence();
  void checkTimer();
  // Sends the trickle byte when it is due.
  void checkTrickle();
  std::optional<std::chrono::steady_clock::time_point> trickleDueLocked() const;
  void flushOutputs();
  void send(const Output &output);
  bool writePaced(std::span<const std::uint8_t> bytes, int speed);
  // Compares the recorded host state with the port's and records a change.
  // Returns whether the host has the port open.
  bool refreshHostState();
  void markHostOpen();
  void markHostClosed();
  void runOnDeviceThread(const std::function<void()> &task) const;
  void runTasks();
  void drainWake();
  TrafficRecord makeRecord(RecordType type, std::span<const std::uint8_t> bytes, unsigned flags) const;
  // Records are collected under mutex_ and appended to the log after it is
  // released, so a log predicate or listener may call this device's
  // methods without deadlock.
  void addRecord(TrafficRecord record);
  void publishRecords();

  const int kind_;
  PseudoTerminal pty_;  // used on the device thread only (see runOnDeviceThread)
  int wakeFd_ = -1;
  TrafficLog log_;

  mutable std::mutex mutex_;
  mutable std::condition_variable stateChanged_;
  int speed_;
  int lastHostSpeed_ = 0;
  bool silent_ = false;
  int silenceNext_ = 0;
  bool vanished_ = false;
  AnswerFault answerFault_ = AnswerFault::None;
  std::optional<std::chrono::milliseconds> trickleInterval_;
  int trickleCountdown_ = 0;  // frames until the trickle begins; 0: trickling
  std::chrono::steady_clock::time_point nextTrickle_{};
  std::size_t trickled_ = 0;
  bool hostOpen_ = false;
  int hostOpens_ = 0;
  int hostCloses_ = 0;
  std::chrono::steady_clock::time_point lastByteTime_{};
  std::deque<Output> outputs_;
  std::vector<TrafficRecord> pendingRecords_;
  mutable std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  bool threadRunning_ = false;

  std::mutex publishMutex_;  // keeps records in order across publishers

  std::atomic<bool> pacing_{false};
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
};

}  // namespace readersim
