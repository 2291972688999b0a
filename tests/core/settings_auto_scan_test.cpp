// The self-triggered trigger modes of the text engine: the hand-over of the
// continuous scan loop's semaphores when a mode is written, and the trigger
// press that leaves such an engine to itself.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "api/library.h"
#include "api/window_procedure.h"
#include "platform/semaphore.h"
#include "settings/settings_record.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

using Record = std::array<std::uint8_t, kSettingsRecordBytes>;
using platform::WaitResult;

bool isReleased(platform::Semaphore &s) { return s.wait(0) == WaitResult::Signaled; }

struct AutoScanEngine {
  AutoScanEngine() : context{t.device, options, autoScanSem, autoScanToken} {}

  // Writes the trigger mode through the record, everything else unchanged.
  void writeMode(int mode) {
    Record record{};
    ASSERT_EQ(getReaderSettings(context, record.data()), 1);
    record[78] = static_cast<std::uint8_t>(mode);
    ASSERT_EQ(setReaderSettings(context, record.data()), 1);
  }

  settings_testing::TextEngineDevice t;
  LibraryOptions options;
  platform::Semaphore autoScanSem{0, 1};
  platform::Semaphore autoScanToken{0, 1};
  SettingsContext context;
};

TEST(SettingsAutoScan, ASelfTriggeredModeArmsTheLoopAndAnotherModeTakesTheTokenBack) {
  AutoScanEngine e;
  e.writeMode(5);
  EXPECT_EQ(e.t.engine.block()[20] >> 4, 5);
  EXPECT_TRUE(isReleased(e.autoScanSem));
  EXPECT_TRUE(isReleased(e.autoScanToken));
  e.autoScanToken.release();  // the token stays out while the mode holds

  e.writeMode(6);
  EXPECT_FALSE(isReleased(e.autoScanToken));
  EXPECT_FALSE(isReleased(e.autoScanSem));
}

TEST(SettingsAutoScan, AModeTheEngineAlreadyHasCountsAsWritten) {
  AutoScanEngine e;
  ASSERT_EQ(e.t.engine.block()[20] >> 4, 1);  // the engine's own mode
  const std::size_t saves = e.t.saves().size();
  e.writeMode(1);
  EXPECT_EQ(e.t.saves().size(), saves + 2);  // Code 128 and EAN-128 only
  EXPECT_TRUE(isReleased(e.autoScanSem));
  EXPECT_TRUE(isReleased(e.autoScanToken));
}

TEST(SettingsAutoScan, TheModeIsJudgedAsTheEngineKeepsIt) {
  AutoScanEngine e;
  e.writeMode(0x17);  // the engine keeps the low four bits: mode 7
  EXPECT_EQ(e.t.engine.block()[20] >> 4, 7);
  EXPECT_TRUE(isReleased(e.autoScanSem));
  EXPECT_TRUE(isReleased(e.autoScanToken));
}

TEST(SettingsAutoScan, ARefusedModeChangesNeitherSemaphore) {
  AutoScanEngine e;
  e.autoScanToken.release();  // a loop already running
  e.t.engine.setRefuseAll(true);
  e.writeMode(6);
  EXPECT_TRUE(isReleased(e.autoScanToken));
  e.writeMode(5);
  EXPECT_FALSE(isReleased(e.autoScanSem));
}

// ---- Trigger press ----------------------------------------------------------

class TriggerPress : public ::testing::Test {
 protected:
  void SetUp() override {
    lib.messages.user1Down = kDown;
    lib.triggerKeyEnabled = 1;
    lib.device.barcode.kind = 2;
  }
  void TearDown() override {
    lib.device.barcode.kind = 0;
    lib.barcodeTriggerSem.wait(0);
    lib.rfidTriggerSem.wait(0);
  }
  void useBlockWithMode(int mode, std::size_t length = 32) {
    std::vector<std::uint8_t> block(length, 0);
    block[20] = static_cast<std::uint8_t>(mode << 4);
    lib.device.barcode.configBlock = ByteString::fromBytes(block);
  }
  void press() { readerWindowProcedure(0, kDown, 0, 0); }

  static constexpr std::uint32_t kDown = 0xC123;
  Library &lib = library();
};

TEST_F(TriggerPress, AnEngineInASelfTriggeredModeIsLeftToItselfAndOnlyTheRfidReadIsReleased) {
  for (int mode : {1, 5, 7}) {
    useBlockWithMode(mode);
    press();
    EXPECT_FALSE(isReleased(lib.barcodeTriggerSem)) << mode;
    EXPECT_TRUE(isReleased(lib.rfidTriggerSem)) << mode;
  }
}

TEST_F(TriggerPress, AnyOtherModeOrAnUnreadableBlockReleasesBoth) {
  useBlockWithMode(6);
  press();
  EXPECT_TRUE(isReleased(lib.barcodeTriggerSem));
  EXPECT_TRUE(isReleased(lib.rfidTriggerSem));

  useBlockWithMode(5, 29);  // too short to be read: counts as mode 0
  press();
  EXPECT_TRUE(isReleased(lib.barcodeTriggerSem));
  EXPECT_TRUE(isReleased(lib.rfidTriggerSem));
}

}  // namespace
}  // namespace reader
