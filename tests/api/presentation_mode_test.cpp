// The text engine's self-triggered (presentation) mode with barcodes passing
// quickly: every decode the engine sends is announced once, in order, and
// each is still the decode the queries return while its announcement is
// handled. Decodes waiting in the port are not thrown away.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "announced_decodes.h"
#include "scan_host.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using namespace std::chrono_literals;
using readersim::barcodeOf;

namespace {

constexpr int kBarcodes = 40;

class PresentationModeTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
};

}  // namespace

TEST_P(PresentationModeTest, EveryDecodeIsAnnouncedOnceInOrder) {
  readersim::TerminalConfig config = quickConfig(2, 0);
  config.repeatInterval = std::chrono::milliseconds(GetParam());
  auto terminal = startTerminal(config);
  AnnouncedDecodes announced;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_TRUE(armSelfTriggeredLoop());

  std::vector<std::string> sent;
  for (int i = 0; i < kBarcodes; ++i) {
    sent.push_back("P" + std::to_string(100 + i));
    ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:" + sent.back())));
  }
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return terminal->barcodeEngine()->decodesSent() == kBarcodes; }, 60s));
  ScanHost::dispatchUntil([&] { return announced.count() == kBarcodes; }, 30s);
  ScanHost::dispatchFor(300ms);  // nothing more may come
  EXPECT_EQ(announced.data(), sent);
}

// 5 ms: decodes come far faster than the loop's pause after an empty cycle.
INSTANTIATE_TEST_SUITE_P(Spacings, PresentationModeTest, ::testing::Values(5, 100, 150),
                         [](const ::testing::TestParamInfo<int> &info) { return std::to_string(info.param) + "ms"; });

TEST(PresentationModeHaltTest, AHaltWithdrawsADecodeTheWindowThreadHasNotAnnounced) {
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(2, 0));
  AnnouncedDecodes announced;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_TRUE(armSelfTriggeredLoop());
  // The window thread stops dispatching; a decode arrives and is stored, and
  // its announcement waits for the window thread.
  ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:HELD")));
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (decodeData() != "HELD" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(decodeData(), "HELD");
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), READER_OK);

  // Started again, the loop scans on at once; the decode of the halted
  // engine is never announced.
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_TRUE(armSelfTriggeredLoop());
  ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:AGAIN")));
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return announced.count() >= 1; }));
  ScanHost::dispatchFor(300ms);
  EXPECT_EQ(announced.data(), std::vector<std::string>{"AGAIN"});
  HaltReader(READER_DEVICE_ALL);
}
