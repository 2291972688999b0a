// Scanning when things go wrong: engines that vanish, talk garbage or refuse
// every command, presses with nothing to scan, presses faster than cycles,
// and a halt in the middle of a cycle. No crash, no hang past the time-outs,
// nothing announced, the last good result kept.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "scan_host.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using readersim::barcodeOf;

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;
constexpr int kSsi3ScanTimeByte = 283;

std::size_t framesWithOpcode(const readersim::PtyDevice &engine, std::uint8_t opcode) {
  std::size_t n = 0;
  for (const ReceivedFrame &frame : receivedFrames(engine)) n += ssiOpcode(frame) == opcode ? 1 : 0;
  return n;
}

class ScanFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  // An SSI engine (variant 3) with one good scan behind it, waiting up to
  // `scanSeconds` for a decode.
  void startWithOneGoodScan(int scanSeconds) {
    terminal_ = startTerminal(quickConfig(3, 0));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    Record record{};
    ASSERT_EQ(GetReaderSettings(record.data()), 1);
    record[kSsi3ScanTimeByte] = static_cast<unsigned char>(scanSeconds);
    ASSERT_EQ(SetReaderSettings(record.data()), 1);
    engine().presentBarcode(barcodeOf("code39:GOOD"));
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));
    ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE5) == 1; }));
  }
  void expectLastResultKept() {
    ScanHost::dispatchFor(std::chrono::milliseconds(100));
    EXPECT_EQ(host_.announced(), 1);
    EXPECT_EQ(decodeData(), "GOOD");
    EXPECT_EQ(GetDecodeType(), 'A');
  }
  readersim::SsiEngine &engine() { return *terminal_->ssiEngine(); }

  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(ScanFaultTest, GarbageInsteadOfADecodeIsNoDecode) {
  startWithOneGoodScan(1);
  engine().presentSilence();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE4) == 2; }));
  // A packet that is not a decode (opcode 0x31), and a cut one.
  const std::uint8_t notDecode[] = {0x07, 0x31, 0x00, 0x00, 0x03, 'B', 'A', 'D', 0xFE, 0x00};
  engine().injectBytes(notDecode);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE5) == 2; }));
  ReaderHostTriggerKey(1, 0);
  expectLastResultKept();
}

TEST_F(ScanFaultTest, AnEngineThatRefusesEveryCommandIsNeverWaitedForADecode) {
  startWithOneGoodScan(1);
  engine().presentBarcode(barcodeOf("code39:NEVER"));
  engine().nakNext(1000);
  const std::size_t starts = framesWithOpcode(engine(), 0xE4);
  ASSERT_TRUE(host_.pressUntil([&] { return framesWithOpcode(engine(), 0xE4) >= starts + 5; }));
  ScanHost::dispatchFor(std::chrono::milliseconds(300));
  EXPECT_EQ(framesWithOpcode(engine(), 0xE4), starts + 5);  // five attempts, then the cycle ends
  expectLastResultKept();
}

TEST_F(ScanFaultTest, AnEngineThatVanishesMidCycleEndsTheCycleAndTheHaltReturns) {
  startWithOneGoodScan(60);
  engine().presentSilence();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE4) == 2; }));
  engine().vanish();
  ReaderHostTriggerKey(1, 0);
  expectLastResultKept();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // hang guard, not the minute
}

TEST_F(ScanFaultTest, AnEngineThatVanishesIsReportedOnceAsAPortErrorAndAClosedPortNever) {
  startWithOneGoodScan(1);
  const auto portErrors = [&] { return host_.outputsOf(READER_OUTPUT_PORT_ERROR); };
  EXPECT_TRUE(portErrors().empty());
  engine().vanish();
  for (int press = 0; press < 3; ++press) host_.pressUntil([&] { return !portErrors().empty(); });
  ScanHost::dispatchFor(std::chrono::milliseconds(100));
  const std::vector<Output> errors = portErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].value, 1);
  EXPECT_EQ(errors[0].value2, 5);  // EIO: the far end hung up
  EXPECT_EQ(errors[0].text.rfind("COM1 /dev/", 0), 0u) << errors[0].text;
  EXPECT_NE(errors[0].text.find("errno 5"), std::string::npos) << errors[0].text;
  // The library's own close of the port is no failure of the device.
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  EXPECT_EQ(portErrors().size(), 1u);
}

TEST_F(ScanFaultTest, AHaltDuringADecodeWaitEndsTheCycleAtOnce) {
  startWithOneGoodScan(60);
  engine().presentSilence();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE4) == 2; }));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // hang guard, not the minute
  ReaderHostTriggerKey(1, 0);
  ReaderHostDispatch(0);
  EXPECT_EQ(host_.announced(), 1);
  EXPECT_EQ(GetActiveDevice(), 0);
}

TEST_F(ScanFaultTest, PressesDuringACycleAmountToOneMoreCycle) {
  readersim::TerminalConfig config = quickConfig(3, 0);
  config.decodeDelay = std::chrono::milliseconds(300);
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  for (int i = 0; i < 2; ++i) engine().presentBarcode(barcodeOf("code39:TWICE"));
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return framesWithOpcode(engine(), 0xE4) == 1; }));
  // Three more presses (no release) while the first cycle waits.
  for (int i = 0; i < 3; ++i) ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return host_.announced() == 2; }));
  ReaderHostTriggerKey(1, 0);
  ScanHost::dispatchFor(std::chrono::milliseconds(700));
  EXPECT_EQ(framesWithOpcode(engine(), 0xE4), 2u);
  EXPECT_EQ(host_.announced(), 2);
}

TEST_F(ScanFaultTest, PressesWithoutAnEngineDoNothing) {
  terminal_ = startTerminal(quickConfig(0, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  for (int i = 0; i < 5; ++i) {
    ReaderHostTriggerKey(1, 1);
    ReaderHostTriggerKey(2, 0);
  }
  ScanHost::dispatchFor(std::chrono::milliseconds(200));
  EXPECT_EQ(host_.announced(), 0);
  EXPECT_EQ(decodeData(), "");
  EXPECT_EQ(GetDecodeType(), 0);
  EXPECT_EQ(outputRecord(32), "");  // no tag read yet: an empty record
}
