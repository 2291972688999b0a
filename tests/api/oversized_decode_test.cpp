// Decodes longer than the library's frame bound: the frame is rejected
// whole, nothing is announced for it, and its tail is never read as a decode
// of its own, so that whoever prints a barcode cannot choose the type and
// data the library announces. A long decode within the bound comes through
// whole.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "announced_decodes.h"
#include "scan_host.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using namespace std::chrono_literals;
using readersim::barcodeOf;

namespace {

// A Code 39 barcode whose text engine frame ("A000", the data, CR) runs
// `frameBytes` bytes before its tail: the tail would make a frame of its own
// that reads as Code 128 "INJECTED".
std::string forgingData(std::size_t frameBytes) { return std::string(frameBytes - 4, 'A') + "I000INJECTED"; }

class OversizedDecodeTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    terminal_ = startTerminal(quickConfig(2, 0));
    ASSERT_EQ(InitReader(), READER_OK);
  }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  AnnouncedDecodes announcements_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_P(OversizedDecodeTest, ASelfTriggeredDecodeOverTheBoundIsRejectedWholeAndTheNextOneReadCleanly) {
  // The engine leaves the factory triggering itself; writing the settings
  // back arms the library's loop for it.
  ASSERT_TRUE(armSelfTriggeredLoop());
  ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:" + forgingData(GetParam()))));
  ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:NEXT")));
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return announcements_.count() >= 1; }));
  ScanHost::dispatchFor(300ms);  // a forged decode would follow within this
  EXPECT_EQ(announcements_.data(), std::vector<std::string>{"NEXT"});
  EXPECT_EQ(announcements_.types(), std::vector<int>{'A'});
}

// The frame ends exactly at the bound, one byte short of it, and just past
// it; the tail then starts at the bound or next to it.
INSTANTIATE_TEST_SUITE_P(FrameLengths, OversizedDecodeTest, ::testing::Values(65532u, 65535u, 65536u, 65537u),
                         [](const ::testing::TestParamInfo<std::size_t> &info) {
                           return "Frame" + std::to_string(info.param);
                         });

TEST(LongDecodeTest, ADecodeWithinTheBoundComesThroughWhole) {
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(2, 0));
  ScanHost host;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  ASSERT_TRUE(prepareTriggeredScans(2));
  const std::string data(40000, 'L');
  ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:" + data)));
  ASSERT_TRUE(host.pressUntil([&] { return host.announced() == 1; }));
  std::vector<char> buffer(50000);
  ASSERT_EQ(GetDecodeData(buffer.data(), static_cast<int>(buffer.size())), 40000);
  EXPECT_EQ(std::string(buffer.data(), 40000), data);
  // A barcode over the bound in the same mode is lost, and the next scan
  // reads the next barcode, not the tail of the long one.
  ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:" + forgingData(65536))));
  ASSERT_FALSE(terminal->presentBarcode(barcodeOf("code39:NEXT")));
  ReaderHostTriggerKey(1, 1);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return terminal->barcodeEngine()->decodesSent() >= 2; }));
  ReaderHostTriggerKey(1, 0);
  ASSERT_TRUE(host.pressUntil([&] { return host.announced() == 2; }));
  char next[64] = {};
  EXPECT_EQ(GetDecodeData(next, sizeof next), 4);
  EXPECT_STREQ(next, "NEXT");
  EXPECT_EQ(GetDecodeType(), 'A');
  HaltReader(READER_DEVICE_ALL);
}
