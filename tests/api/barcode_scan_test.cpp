// Barcode scanning through the exported and host API, for every engine kind:
// trigger press -> engine on -> decode -> WM_DECODEDATA and "DecodeEventBC"
// -> queries and output record -> keystrokes and feedback, with the wire
// traffic each step leaves; and what must not happen when a scan fails.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "scan_host.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using readersim::barcodeOf;
using readersim::TerminalConfig;

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

constexpr int kTriggerModeByte = 78;
constexpr int kKeyboardOutputByte = 346;
constexpr int kTerminatorPositionByte = 347;
constexpr int kTerminatorCharByte = 348;
constexpr int kTextEngineCode128Byte = 75;
constexpr int kAimTimeByte = 167;  // variant 4, units of 100 ms
int scanTimeByte(int kind) { return kind == 2 ? 79 : kind == 4 ? 165 : 283; }

Record settings() {
  Record record{};
  EXPECT_EQ(GetReaderSettings(record.data()), 1);
  return record;
}

// What the engine was told, in order: text commands for the text engine,
// "op XX" for the SSI opcodes.
std::vector<std::string> commandsTo(const readersim::PtyDevice &engine, int kind) {
  std::vector<std::string> out;
  for (const ReceivedFrame &frame : receivedFrames(engine)) {
    if (kind == 2) {
      out.push_back(textEngineCommand(frame));
    } else {
      char text[8];
      std::snprintf(text, sizeof text, "op %02X", ssiOpcode(frame));
      out.push_back(text);
    }
  }
  return out;
}

std::vector<std::string> after(const std::vector<std::string> &all, std::size_t from) {
  return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

std::size_t countOf(const std::vector<std::string> &commands, const std::string &command) {
  return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
}

class ScanTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  void start(int kind, const TerminalConfig *given = nullptr) {
    kind_ = kind;
    terminal_ = startTerminal(given != nullptr ? *given : quickConfig(kind, 0));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    if (kind == 2) {
      // The engine leaves the factory triggering itself; these tests press.
      Record record = settings();
      record[kTriggerModeByte] = 0;
      ASSERT_EQ(SetReaderSettings(record.data()), 1);
    }
  }
  readersim::BarcodeEngine &engine() { return *terminal_->barcodeEngine(); }
  std::vector<std::string> commands() { return commandsTo(*terminal_->engine(), kind_); }
  // The engine's switch-off command, which ends every trigger-driven cycle.
  std::string offCommand() const { return kind_ == 2 ? "OFF" : "op E5"; }
  std::string onCommand() const { return kind_ == 2 ? "ON" : "op E4"; }
  // Runs one trigger-driven cycle to its end (the engine switched off).
  void scanOnce() {
    const std::size_t offs = countOf(commands(), offCommand());
    EXPECT_TRUE(host_.pressUntil([&] { return countOf(commands(), offCommand()) > offs; }));
  }

  int kind_ = 0;
  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_P(ScanTest, ATriggerPressScansAnnouncesTypesAndGivesFeedback) {
  start(GetParam());
  Record record = settings();
  record[kKeyboardOutputByte] = 1;
  record[kTerminatorPositionByte] = 1;  // after the record
  record[kTerminatorCharByte] = 1;      // carriage return: the Enter key
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  engine().presentBarcode(
      barcodeOf("code128:AB\xE9"
                "1"));
  const std::size_t before = commands().size();

  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), 1);
  EXPECT_EQ(decodeData(),
            "AB\xE9"
            "1");
  EXPECT_EQ(GetDecodeType(), 'I');
  EXPECT_EQ(outputRecord(7),
            "AB\xE9"
            "1");

  // Switched on, decoded (and acknowledged on the SSI engines), switched off.
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), offCommand()) == 1; }));
  const std::vector<std::string> cycle = after(commands(), before);
  if (GetParam() == 2) {
    EXPECT_EQ(cycle, (std::vector<std::string>{"ON", "OFF"}));
  } else if (GetParam() == 3) {
    EXPECT_EQ(cycle, (std::vector<std::string>{"op E4", "op D0", "op E5"}));
    EXPECT_EQ(engine().decodesAcknowledged(), 1u);
  } else {  // variant 4 always ends aiming before it stops decoding
    EXPECT_EQ(cycle, (std::vector<std::string>{"op E4", "op D0", "op C4", "op E5"}));
    EXPECT_EQ(engine().decodesAcknowledged(), 1u);
  }

  // Typed as characters (a byte above 127 as its value), then Enter pressed
  // and released; the good-read sound of the defaults.
  const std::vector<Output> typed = host_.outputsOf(READER_OUTPUT_KEY_CHARS);
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_EQ(typed[0].characters, (std::vector<std::int32_t>{'A', 'B', 0xE9, '1'}));
  const std::vector<Output> keys = host_.outputsOf(READER_OUTPUT_KEY_EVENT);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].value, 13);
  EXPECT_EQ(keys[0].value2, 0);
  EXPECT_EQ(keys[1].value2, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] {
    for (const Output &o : host_.outputsOf(READER_OUTPUT_SOUND))
      if (o.text == "\\Windows\\Default") return true;
    return false;
  }));
}

TEST_P(ScanTest, AFailedScanKeepsTheLastResultAndAnnouncesNothing) {
  start(GetParam());
  Record record = settings();
  record[scanTimeByte(GetParam())] = 1;  // one second without a decode ends the cycle
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  engine().presentBarcode(barcodeOf("code39:FIRST"));
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));

  engine().presentNoRead();  // the text engine says "*000"; the SSI engines say nothing
  scanOnce();
  engine().presentSilence();  // the wait runs out
  scanOnce();
  ScanHost::dispatchFor(std::chrono::milliseconds(100));
  EXPECT_EQ(host_.announced(), 1);
  EXPECT_EQ(decodeData(), "FIRST");
  EXPECT_EQ(GetDecodeType(), 'A');
  EXPECT_EQ(outputRecord(7), "FIRST");
}

TEST_P(ScanTest, TheReleaseEndsTheDecodeWaitAndSwitchesTheEngineOffOnce) {
  start(GetParam());
  engine().presentSilence();
  const std::size_t before = commands().size();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), onCommand()) == 1; }));
  ReaderHostTriggerKey(1, 0);
  // The default scan time is 3 s or more; the release ends the cycle well
  // before, and only the cycle talks to the engine.
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), offCommand()) == 1; },
                                      std::chrono::milliseconds(2500)));
  ScanHost::dispatchFor(std::chrono::milliseconds(100));
  EXPECT_EQ(countOf(after(commands(), before), offCommand()), 1u);
  EXPECT_EQ(host_.announced(), 0);
}

INSTANTIATE_TEST_SUITE_P(EngineKinds, ScanTest, ::testing::Values(2, 3, 4),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

using TextEngineScanTest = ScanTest;

TEST_F(TextEngineScanTest, ACode128DecodeTheBlockDisablesIsNoDecode) {
  start(2);
  engine().presentBarcode(barcodeOf("code39:KEEP"));
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));
  Record record = settings();
  record[kTextEngineCode128Byte] = 0;
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  engine().presentBarcode(barcodeOf("code128:DROP"));
  scanOnce();
  ScanHost::dispatchFor(std::chrono::milliseconds(100));
  EXPECT_EQ(host_.announced(), 1);
  EXPECT_EQ(decodeData(), "KEEP");
  EXPECT_EQ(GetDecodeType(), 'A');
}

TEST_F(TextEngineScanTest, TheSelfTriggeredLoopRunsOnlyWhileSetReaderSettingsHoldsTheMode) {
  TerminalConfig config = quickConfig(2, 0);
  config.steadyBarcode = barcodeOf("ean8:12345670");
  start(2, &config);
  // The engine's own mode at start does not start the loop.
  ScanHost::dispatchFor(std::chrono::milliseconds(500));
  EXPECT_EQ(host_.announced(), 0);

  Record record = settings();
  record[kTriggerModeByte] = 1;
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return host_.announced() >= 3; }));
  EXPECT_EQ(decodeData(), "12345670");
  // A trigger press now releases only the RFID side: nothing is switched on.
  const std::size_t ons = countOf(commands(), "ON");
  ReaderHostTriggerKey(1, 1);
  ReaderHostDispatch(0);
  ReaderHostTriggerKey(1, 0);

  record[kTriggerModeByte] = 0;
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  const int afterMode0 = host_.announced();
  ScanHost::dispatchFor(std::chrono::milliseconds(800));
  EXPECT_LE(host_.announced(), afterMode0 + 1);  // at most the cycle under way
  EXPECT_EQ(countOf(commands(), "ON"), ons);
}

TEST_F(TextEngineScanTest, AHaltOrARestartTakesTheSelfTriggeredLoopBack) {
  TerminalConfig config = quickConfig(2, 0);
  config.steadyBarcode = barcodeOf("code39:LOOP");
  start(2, &config);
  Record record = settings();
  record[kTriggerModeByte] = 5;
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return host_.announced() >= 1; }));
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);

  // The same process now finds an SSI engine: its loop must not scan it.
  terminal_.reset();
  TerminalConfig ssi = quickConfig(3, 0);
  auto next = startTerminal(ssi);
  ASSERT_EQ(InitReader(), READER_OK);
  ScanHost::dispatchFor(std::chrono::milliseconds(700));
  EXPECT_EQ(countOf(commandsTo(*next->engine(), 3), "op E4"), 0u);
  HaltReader(READER_DEVICE_ALL);
}

TEST_F(TextEngineScanTest, ATriggerPressNeverWaitsForAnotherThreadsSettingsExchange) {
  start(2);
  terminal_->engine()->setSilent(true);
  std::atomic<bool> settingsDone{false};
  Record record = settings();
  record[kTextEngineCode128Byte] = record[kTextEngineCode128Byte] ? 0 : 1;  // makes the call send
  std::thread settingsCaller([&] {
    SetReaderSettings(record.data());
    settingsDone = true;
  });
  // Wait until the exchange is on the wire, then press.
  const std::size_t saves = countOf(commands(), "SAVE");
  ASSERT_TRUE(ScanHost::dispatchUntil([&] {
    std::size_t n = 0;
    for (const std::string &c : commands()) n += c.rfind("SAVE", 0) == 0 ? 1 : 0;
    return n > saves;
  }));
  ReaderHostTriggerKey(1, 1);
  ReaderHostDispatch(0);
  EXPECT_FALSE(settingsDone);  // the press did not wait for it
  ReaderHostTriggerKey(1, 0);
  ReaderHostDispatch(0);
  settingsCaller.join();
}

using SsiScanTest = ScanTest;

TEST_F(SsiScanTest, SettingsWaitForARunningScanCycleAndNeverTakeItsDecode) {
  TerminalConfig config = quickConfig(3, 0);
  config.decodeDelay = std::chrono::milliseconds(400);
  start(3, &config);
  engine().presentBarcode(barcodeOf("qr:PAYLOAD"));
  const std::size_t before = commands().size();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), "op E4") == 1; }));
  Record record{};
  std::thread settingsCaller([&] { GetReaderSettings(record.data()); });
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return host_.announced() == 1; }));
  ReaderHostTriggerKey(1, 0);
  settingsCaller.join();
  EXPECT_EQ(decodeData(), "PAYLOAD");
  // The settings requests (C7) came only after the cycle had switched off.
  const std::vector<std::string> cycle = after(commands(), before);
  const auto stop = std::find(cycle.begin(), cycle.end(), "op E5");
  ASSERT_NE(stop, cycle.end());
  EXPECT_EQ(std::count(cycle.begin(), stop, "op C7"), 0);
  EXPECT_GT(std::count(stop, cycle.end(), "op C7"), 0);
}

using AimingScanTest = ScanTest;

TEST_F(AimingScanTest, AHeldTriggerAimsThenDecodesAndACutAimingMakesTheNextPressDecodeAtOnce) {
  start(4);
  Record record = settings();
  record[kAimTimeByte] = 3;  // 300 ms of aiming
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  engine().presentBarcode(barcodeOf("ean13:4006381333931"));
  std::size_t before = commands().size();
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 1; }));
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), "op E5") == 1; }));
  EXPECT_EQ(after(commands(), before),
            (std::vector<std::string>{"op C5", "op C4", "op E4", "op D0", "op C4", "op E5"}));

  // Aiming for 5 s, released during it: aim off and stop, no decode.
  record[kAimTimeByte] = 50;
  ASSERT_EQ(SetReaderSettings(record.data()), 1);
  before = commands().size();
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return terminal_->ssiEngine()->aiming(); }));
  ReaderHostTriggerKey(1, 0);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(after(commands(), before), "op E5") == 1; },
                                      std::chrono::milliseconds(4000)));
  EXPECT_EQ(after(commands(), before), (std::vector<std::string>{"op C5", "op C4", "op E5"}));

  // The next press starts decoding without aiming.
  engine().presentBarcode(barcodeOf("ean13:4006381333931"));
  before = commands().size();
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() == 2; }));
  EXPECT_EQ(after(commands(), before).at(0), "op E4");
}
