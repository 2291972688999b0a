// Devices that keep talking: an engine or module that sends a byte at a
// time, each just within the gap that would end its frame, and never ends
// it. The trigger release, HaltReader and the start see through it: no call
// waits longer than a real answer would take.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "scan_host.h"
#include "support/hex_bytes.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Well within the text engine's 20 ms frame gap; the hex-frame module's is
// 40 ms.
constexpr auto kLineTrickle = 5ms;
constexpr auto kHexTrickle = 25ms;

std::size_t textCommands(const readersim::PtyDevice &engine, const std::string &command) {
  std::size_t n = 0;
  for (const ReceivedFrame &frame : receivedFrames(engine)) n += textEngineCommand(frame) == command ? 1 : 0;
  return n;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class TricklingDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  // A text engine driven by the trigger (mode 0), waiting up to
  // `scanSeconds` for a decode.
  void startTriggeredTextEngine(int scanSeconds) {
    terminal_ = startTerminal(quickConfig(2, 0));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    ASSERT_TRUE(prepareTriggeredScans(2, scanSeconds));
  }
  // Presses the trigger; the engine trickles instead of decoding, and the
  // scan cycle is reading what it sends.
  void pressIntoTheTrickle() {
    readersim::PtyDevice &engine = *terminal_->engine();
    const std::size_t ons = textCommands(engine, "ON");
    engine.trickleFromFrame(kLineTrickle, 1);
    ReaderHostTriggerKey(1, 1);
    ASSERT_TRUE(ScanHost::dispatchUntil([&] { return textCommands(engine, "ON") > ons; }));
    const std::size_t trickled = engine.trickledBytes();
    ASSERT_TRUE(ScanHost::dispatchUntil([&] { return engine.trickledBytes() > trickled + 40; }));
  }

  // A hex-frame module with a tag in its field, read once: the protocol that
  // found it is selected, and the next read begins with its detection.
  void startHexModuleWithATagRead() {
    terminal_ = startTerminal(quickConfig(0, 6));
    ASSERT_FALSE(terminal_->placeTag(readersim::tagOf("philips:E004010203040506")));
    ASSERT_EQ(InitReader(), READER_OK);
    char uid[64] = {};
    ASSERT_GT(ReadRfidData(READER_RFID_READ_UID, uid, sizeof uid, 0, 4, 0, nullptr), 0);
  }

  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(TricklingDeviceTest, TheReleaseEndsAScanCycleWhoseEngineNeverEndsItsFrame) {
  startTriggeredTextEngine(30);
  pressIntoTheTrickle();
  readersim::PtyDevice &engine = *terminal_->engine();
  const auto released = Clock::now();
  ReaderHostTriggerKey(1, 0);
  // The engine is switched off soon after, not at the end of the 30 s wait.
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return textCommands(engine, "OFF") == 1; }, 10s));
  EXPECT_LT(secondsSince(released), 5.0);
  EXPECT_EQ(host_.announced(), 0);
}

TEST_F(TricklingDeviceTest, HaltReaderEndsAScanCycleThatReadsATrickle) {
  startTriggeredTextEngine(30);
  pressIntoTheTrickle();
  const auto halting = Clock::now();
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  EXPECT_LT(secondsSince(halting), 5.0);
  EXPECT_TRUE(terminal_->engine()->waitForHostCloseCount(1, kPatience));
  ReaderHostTriggerKey(1, 0);
  EXPECT_EQ(host_.announced(), 0);
  // The engine talks sense again: a new start scans.
  terminal_->engine()->stopTrickle();
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_FALSE(terminal_->presentBarcode(readersim::barcodeOf("code39:AFTER")));
  ASSERT_TRUE(prepareTriggeredScans(2));
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));
  EXPECT_EQ(decodeData(), "AFTER");
}

TEST_F(TricklingDeviceTest, AStartFacingATrickleAfterTheConfigurationRequestReturnsPromptly) {
  terminal_ = startTerminal(quickConfig(2, 0));
  // "VER" is answered; "SET" gets a trickle that never ends.
  terminal_->engine()->trickleFromFrame(kLineTrickle, 2);
  const auto starting = Clock::now();
  const int result = InitReader();
  // The probe waits (none here: the engine answers at once), the settle time
  // and one answer's time-out, with room to spare; not the frame bound's
  // worth of trickled bytes.
  EXPECT_LT(secondsSince(starting), 6.0);
  EXPECT_TRUE(result == READER_OK || result == READER_ERR_BARCODE_FAILED) << result;
  EXPECT_EQ(textCommands(*terminal_->engine(), "SET"), 1u);
}

TEST_F(TricklingDeviceTest, ATagReadFacingATrickleEndsWithinItsTimeOuts) {
  startHexModuleWithATagRead();
  char buffer[64] = {};
  // The next detection is answered by a byte every 25 ms, for ever.
  terminal_->module()->trickleFromFrame(kHexTrickle, 1);
  const auto reading = Clock::now();
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, 0, 4, 0, nullptr), READER_ERR_RFID_READ);
  // Two detections of about a second each and one protocol change of three
  // attempts, where a real answer would have come.
  EXPECT_LT(secondsSince(reading), 15.0);
}

TEST_F(TricklingDeviceTest, HaltReaderEndsATagReadThatReadsATrickle) {
  startHexModuleWithATagRead();
  readersim::PtyDevice &module = *terminal_->module();
  module.trickleFromFrame(kHexTrickle, 1);
  auto reader = std::async(std::launch::async, [] {
    char out[64] = {};
    return ReadRfidData(READER_RFID_READ_UID, out, sizeof out, 0, 4, 0, nullptr);
  });
  const std::size_t trickled = module.trickledBytes();
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return module.trickledBytes() > trickled + 4; }));
  const auto halting = Clock::now();
  EXPECT_EQ(HaltReader(READER_DEVICE_RFID), READER_OK);
  EXPECT_LT(secondsSince(halting), 5.0);
  ASSERT_EQ(reader.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(reader.get(), READER_ERR_RFID_READ);
  EXPECT_EQ(GetReaderType(), 0);
}
