// Puts one fault on a simulated device and takes it off again. Vanishing
// happens in the middle of the next exchange: the device stops answering,
// and once the host has sent a frame it disappears; taking it off plugs a
// fresh device in under the same port name.
#pragma once

#include <gtest/gtest.h>
#include <readersim/readersim.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "cell.h"
#include "support/test_terminal.h"

namespace fault_matrix {

class FaultSwitch {
 public:
  // A speed at which the library never looks for any device kind.
  static constexpr int kWrongSpeed = 19200;

  FaultSwitch(readersim::Terminal &terminal, const Cell &cell) : terminal_(terminal), cell_(cell) {
    readersim::PtyDevice &dev = device();
    switch (cell_.fault) {
      case Fault::Silent: dev.setSilent(true); break;
      case Fault::Garbage: dev.setAnswerFault(readersim::PtyDevice::AnswerFault::Garbage); break;
      case Fault::Cut: dev.setAnswerFault(readersim::PtyDevice::AnswerFault::Cut); break;
      case Fault::Oversized: dev.setAnswerFault(readersim::PtyDevice::AnswerFault::Oversized); break;
      case Fault::Refusal: refuse(true); break;
      case Fault::WrongSpeed:
        speed_ = dev.speed();
        dev.setSpeed(kWrongSpeed);
        break;
      case Fault::Trickle: dev.startTrickle(trickleInterval()); break;
      case Fault::Vanish: {
        dev.setSilent(true);
        const std::size_t frames = dev.framesReceived().size();
        vanisher_ = std::thread([&dev, frames] {
          if (dev.waitForFrames(frames + 1, testing_support::kPatience)) dev.vanish();
        });
        break;
      }
    }
  }
  ~FaultSwitch() {
    if (vanisher_.joinable()) vanisher_.join();
  }
  FaultSwitch(const FaultSwitch &) = delete;
  FaultSwitch &operator=(const FaultSwitch &) = delete;

  // For a vanishing device: waits until it has vanished.
  void waitUntilApplied() {
    if (vanisher_.joinable()) vanisher_.join();
    if (cell_.fault == Fault::Vanish) {
      EXPECT_TRUE(device().vanished()) << "the device never saw a frame to vanish in";
    }
  }

  void clear() {
    waitUntilApplied();
    readersim::PtyDevice &dev = device();
    switch (cell_.fault) {
      case Fault::Silent: dev.setSilent(false); break;
      case Fault::Garbage:
      case Fault::Cut:
      case Fault::Oversized: dev.setAnswerFault(readersim::PtyDevice::AnswerFault::None); break;
      case Fault::Refusal: refuse(false); break;
      case Fault::WrongSpeed: dev.setSpeed(speed_); break;
      case Fault::Trickle: dev.stopTrickle(); break;
      case Fault::Vanish:
        if (cell_.isEngine()) {
          terminal_.reconnectEngine();
        } else {
          terminal_.reconnectModule();
        }
        break;
    }
  }

  // A byte every 25 ms keeps a hex-frame module's frame open (it ends at a
  // 40 ms gap); the other kinds end a frame at a 20 ms gap.
  std::chrono::milliseconds trickleInterval() const { return std::chrono::milliseconds(cell_.kind == 6 ? 25 : 5); }

  // A vanished device's port stays dead to the library until it is started
  // again; only the kind-5 module's port is opened afresh for every cycle.
  bool needsRestart() const { return cell_.fault == Fault::Vanish && cell_.kind != 5; }

  // Engines: where the host stood in its scan cycles when the fault went on.
  struct CycleMark {
    std::size_t switchOns = 0;
    std::size_t switchOffs = 0;
  };
  CycleMark cycleMark() const { return {countSent(switchOnBytes()), countSent(switchOffBytes())}; }

  // Engines: the scan cycle begun after `mark` has made its last exchange
  // with the device. It ends with the host switching scanning off, or, on
  // the SSI engines, with the last of the five start-decode attempts; a
  // vanished device takes nothing more from the host. Every frame the log
  // shows has already been answered under the fault, so the fault may go
  // once this holds.
  bool cycleOver(const CycleMark &mark) const {
    if (cell_.fault == Fault::Vanish) return device().vanished();
    if (countSent(switchOffBytes()) > mark.switchOffs) return true;
    return cell_.kind != 2 && countSent(switchOnBytes()) >= mark.switchOns + kStartDecodeAttempts;
  }

  // How often the host has switched scanning on, for failure messages.
  std::size_t switchOnsSeen() const { return countSent(switchOnBytes()); }

 private:
  readersim::PtyDevice &device() const { return cell_.isEngine() ? *terminal_.engine() : *terminal_.module(); }
  // The host's tries at starting an SSI engine's decode in one cycle.
  static constexpr std::size_t kStartDecodeAttempts = 5;

  std::vector<std::uint8_t> switchOnBytes() const {
    if (cell_.kind == 2) return {0x1B, 'O', 'N', 0x0D};
    return {0x04, 0xE4, 0x04, 0x00, 0xFF, 0x14};
  }
  std::vector<std::uint8_t> switchOffBytes() const {
    if (cell_.kind == 2) return {0x1B, 'O', 'F', 'F', 0x0D};
    return {0x04, 0xE5, 0x04, 0x00, 0xFF, 0x13};
  }
  // Occurrences of `pattern` in all the host sent, noise at a wrong speed
  // included (a frame may arrive in several pieces there).
  std::size_t countSent(const std::vector<std::uint8_t> &pattern) const {
    std::vector<std::uint8_t> stream;
    for (const readersim::TrafficRecord &r : device().log().snapshot())
      if (r.type == readersim::RecordType::FromHost) stream.insert(stream.end(), r.bytes.begin(), r.bytes.end());
    std::size_t n = 0;
    for (auto it = stream.begin(); (it = std::search(it, stream.end(), pattern.begin(), pattern.end())) != stream.end();
         ++it)
      ++n;
    return n;
  }
  // Each protocol's own refusal, to every command: kind 2 "NG", the SSI
  // NAK, the kind-5 status letter "?" (not understood), and the kind-6
  // module's error answer.
  void refuse(bool on) {
    switch (cell_.kind) {
      case 2: terminal_.textEngine()->setRefuseAll(on); break;
      case 3:
      case 4: terminal_.ssiEngine()->nakNext(on ? 1 << 20 : 0); break;
      default:
        if (on) {
          terminal_.rfidModule()->failNext("", cell_.kind == 5 ? "?" : readersim::vicinityError(0x01),
                                           readersim::RfidModule::kAlways);
        } else {
          terminal_.rfidModule()->clearFailures();
        }
    }
  }

  readersim::Terminal &terminal_;
  const Cell cell_;
  int speed_ = 0;
  std::thread vanisher_;
};

}  // namespace fault_matrix
