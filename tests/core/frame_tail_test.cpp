// Frames that are given up while the device is still sending them: a wait
// that the caller ends (the trigger released), a deadline that passes for a
// device that never stops, a frame over the bound. What is left of such a
// frame is never read as a frame of its own, and the next real frame reads
// cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "barcode_port_fixture.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"

using reader::ByteString;
using namespace std::chrono_literals;

namespace {

class FrameTailTest : public testing_support::BarcodePortTest {
 protected:
  ~FrameTailTest() override {
    if (feeder_.joinable()) feeder_.join();
  }
  bool read(int kind, ByteString &out, int firstByteTimeoutMs, bool decode,
            const reader::WaitCancel *cancel = nullptr) {
    channel().kind = kind;
    return reader::readFrame(port(), out, firstByteTimeoutMs, decode, cancel);
  }
  // Sends `text` a byte every `interval` (within every gap), then `after`
  // at once.
  void trickle(std::string text, std::chrono::milliseconds interval, std::string after) {
    feeder_ = std::thread([this, text = std::move(text), interval, after = std::move(after)] {
      for (char c : text) {
        pty_->send(std::string(1, c));
        std::this_thread::sleep_for(interval);
      }
      pty_->send(after);
    });
  }
  // Sends more than the pseudo-terminal holds: the reader takes it meanwhile.
  void sendInBackground(std::string bytes) {
    feeder_ = std::thread([this, bytes = std::move(bytes)] { pty_->send(bytes); });
  }
  void finishSending() {
    if (feeder_.joinable()) feeder_.join();
  }
  std::thread feeder_;
};

std::string text(const ByteString &s) {
  const auto bytes = s.toBytes();
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST_F(FrameTailTest, AReleaseInTheMiddleOfADecodeLeavesNoForgedFrame) {
  // The decode's data holds a frame of its own ("I000INJECTED"); the wait
  // for it ends (the trigger is released) while it is still arriving.
  std::atomic<int> released{0};
  const reader::WaitCancel cancel{&released, nullptr};
  trickle("A000" + std::string(40, 'A') + "I000INJECTED", 5ms, "\rA000GOOD\r");
  std::thread release([&] {
    std::this_thread::sleep_for(60ms);  // a dozen bytes in
    released = 1;
  });
  ByteString out;
  EXPECT_FALSE(read(reader::DeviceKind::TextEngine, out, 1000, true, &cancel));
  release.join();
  // The next read, whenever it comes, finds the good frame, not the tail.
  EXPECT_TRUE(read(reader::DeviceKind::TextEngine, out, 3000, true));
  EXPECT_EQ(text(out), "A000GOOD");
}

TEST_F(FrameTailTest, AFrameStillArrivingAtItsDeadlineIsDroppedWithItsTail) {
  // An answer (at most a few hundred bytes) that a device sends for ever
  // longer, a byte every 5 ms: past its deadline it is given up.
  ASSERT_TRUE(reader::setBaud(port(), 115200));
  trickle(std::string(600, 'z') + "I000INJECTED", 5ms, "\rAFTER\r");
  ByteString out;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(read(reader::DeviceKind::TextEngine, out, 1000, false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);  // not the 3 s of the whole trickle
  EXPECT_TRUE(read(reader::DeviceKind::TextEngine, out, 3000, false));
  EXPECT_EQ(text(out), "AFTER");
}

TEST_F(FrameTailTest, AnAsciiModuleLineOverTheBoundIsRejectedWhole) {
  std::string line(reader::kMaxFrameBytes + 100, '5');
  line += "VE00401020304050607\n";  // would read as an ISO 15693 tag
  sendInBackground(line + "TA1B2C3D4\n");
  ByteString out;
  EXPECT_FALSE(read(reader::DeviceKind::AsciiModule, out, 3000, false));
  EXPECT_TRUE(read(reader::DeviceKind::AsciiModule, out, 3000, false));
  EXPECT_EQ(text(out), "TA1B2C3D4");
}

TEST_F(FrameTailTest, ATextEngineDecodeOverTheBoundIsRejectedWholeAndOneWithinItReadWhole) {
  sendInBackground("A000" + std::string(reader::kMaxFrameBytes, 'A') + "I000INJECTED\r" + "A000NEXT\r");
  ByteString out;
  EXPECT_FALSE(read(reader::DeviceKind::TextEngine, out, 3000, true));
  EXPECT_TRUE(read(reader::DeviceKind::TextEngine, out, 3000, true));
  EXPECT_EQ(text(out), "A000NEXT");
  finishSending();
  const std::string within = "A000" + std::string(reader::kMaxFrameBytes - 10, 'W');
  sendInBackground(within + "\r");
  EXPECT_TRUE(read(reader::DeviceKind::TextEngine, out, 3000, true));
  EXPECT_EQ(text(out), within);
}

TEST_F(FrameTailTest, AHexModuleFrameOverTheBoundIsRejectedAndTheNextReadCleanly) {
  // Sent in one piece: no 40 ms gap inside it.
  sendInBackground(std::string(reader::kMaxFrameBytes + 10, '0') + "[0004E00401020304050607]");
  ByteString out;
  EXPECT_FALSE(read(reader::DeviceKind::HexModule, out, 1000, false));
  finishSending();
  pty_->send("[00]\r\n");
  EXPECT_TRUE(read(reader::DeviceKind::HexModule, out, 1000, false));
  EXPECT_EQ(text(out), "[00]\r\n");
}
