// Resources that fail: an allocation that fails inside a worker thread's
// cycle, and a thread that cannot be created during a start. A failure ends
// one cycle, or fails the start honestly; the reader works again afterwards.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "allocation_failure.h"
#include "api/scan_host.h"
#include "platform/thread.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using readersim::barcodeOf;
using resource_testing::allocationFailurePending;
using resource_testing::failNextAllocationOn;

namespace {

class ResourceFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override {
    reader::platform::failNextThreadStarts(0);
    HaltReader(READER_DEVICE_ALL);
  }

  void startScanning(int engineKind, int moduleKind) {
    terminal_ = startTerminal(quickConfig(engineKind, moduleKind));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    prepareScans();
  }
  void prepareScans() {
    if (terminal_->engine() == nullptr) return;
    ASSERT_TRUE(prepareTriggeredScans(terminal_->config().engineKind, 2));
  }
  void scanSucceeds(const std::string &data) {
    const int before = host_.announced();
    ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:" + data)));
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() > before; })) << "no decode of " << data;
    EXPECT_EQ(decodeData(), data);
  }
  // Presses the trigger until the armed allocation failure has been taken.
  void pressIntoTheFailure() {
    ASSERT_TRUE(host_.pressUntil([] { return !allocationFailurePending(); }));
    ScanHost::dispatchFor(std::chrono::milliseconds(200));
  }

  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(ResourceFailureTest, AFailedAllocationEndsOneScanCycleAndTheScanThreadScansOn) {
  startScanning(3, 0);
  scanSucceeds("BEFORE");
  failNextAllocationOn("reader-scan");
  pressIntoTheFailure();
  EXPECT_EQ(host_.announced(), 1);
  for (const char *data : {"AFTER1", "AFTER2", "AFTER3"}) scanSucceeds(data);
  // And across a halt and a new start.
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  ASSERT_EQ(InitReader(), READER_OK);
  prepareScans();
  scanSucceeds("RESTARTED");
}

TEST_F(ResourceFailureTest, AFailedAllocationEndsOneTagReadAndTheAutoReadGoesOn) {
  startScanning(0, 6);
  ASSERT_FALSE(terminal_->placeTag(readersim::tagOf("philips:E004010203040506")));
  failNextAllocationOn("reader-rfid");
  pressIntoTheFailure();
  for (int n = 1; n <= 2; ++n)
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced(READER_DEVICE_RFID) == n; })) << "auto-read " << n;
  char uid[32] = {};
  EXPECT_GT(GetDecodeRfidUID(uid, sizeof uid), 0);
  EXPECT_NE(std::string(uid).find("E004010203040506"), std::string::npos) << uid;
}

// A start of both devices first takes a thread that opens the module beside
// the engine; without it, the devices are opened one after the other.
TEST_F(ResourceFailureTest, WithoutAThreadToOpenTheModuleBesideTheEngineTheStartOpensThemInTurn) {
  terminal_ = startTerminal(quickConfig(2, 6));
  reader::platform::failNextThreadStarts(1);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE | READER_TYPE_HEX_MODULE);
  ASSERT_EQ(SetTriggerKey(1), 1);
  prepareScans();
  scanSucceeds("IN TURN");
}

// After that opening thread, engine 2 and module 6 take six threads: the
// module's idle close, the scan and auto-scan threads, the auto-read,
// vibration and feedback threads.
class ThreadStartFailureTest : public ResourceFailureTest, public ::testing::WithParamInterface<int> {};

TEST_P(ThreadStartFailureTest, AStartWhoseThreadCannotBeCreatedFailsAndLeavesNothingOpen) {
  terminal_ = startTerminal(quickConfig(2, 6));
  reader::platform::failNextThreadStarts(1, GetParam());
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  EXPECT_EQ(GetReaderType(), 0);
  EXPECT_TRUE(terminal_->engine()->waitForHostCloseCount(1, kPatience));
  EXPECT_TRUE(terminal_->module()->waitForHostCloseCount(1, kPatience));
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_ERR_NO_DEVICE);

  // The next start finds the devices free and starts what is missing.
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  prepareScans();
  scanSucceeds("WORKS");
  ASSERT_FALSE(terminal_->placeTag(readersim::tagOf("tagit:A1B2C3D4")));
  char uid[32] = {};
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, uid, sizeof uid, -1, 4, 0, nullptr), 8);
}

INSTANTIATE_TEST_SUITE_P(EachThread, ThreadStartFailureTest, ::testing::Range(1, 7),
                         [](const ::testing::TestParamInfo<int> &info) {
                           return "Thread" + std::to_string(info.param);
                         });

TEST_F(ResourceFailureTest, InitReaderExFailsTheSameWay) {
  terminal_ = startTerminal(quickConfig(3, 0));
  reader::platform::failNextThreadStarts(1, 1);  // the first opens the module's port beside the engine
  EXPECT_EQ(InitReaderEx(), READER_ERR_START_FAILED);
  EXPECT_EQ(GetReaderType(), 0);
  ASSERT_EQ(InitReaderEx(), READER_OK);
  EXPECT_NE(GetReaderType(), 0);
}
