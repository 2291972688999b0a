// The self-triggered trigger modes of the text engine: the hand-over of the
// continuous scan loop's semaphores when a mode is written, and the trigger
// press that leaves such an engine to itself.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <vector>

#include "api/library.h"
#include "api/window_procedure.h"
#include "platform/semaphore.h"
#include "settings/settings_record.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

using Record = std::array<std::uint8_t, kSettingsRecordBytes>;

bool isReleased(platform::Semaphore &s) { return s.wait(0) == platform::WaitResult::Signaled; }

TEST(SettingsAutoScan, ASelfTriggeredModeHandsTheLoopItsTokenAndAnotherModeTakesItBack) {
  settings_testing::TextEngineDevice t;
  LibraryOptions options;
  platform::Semaphore sem{0, 1};
  SsiKnownValues known;
  SettingsContext context{t.device, options, known, sem};
  std::atomic<int> &token = t.device.barcode.autoScanToken;
  // Writes the trigger mode through the record, everything else unchanged.
  auto writeMode = [&](int mode) {
    Record record{};
    ASSERT_EQ(getReaderSettings(context, record.data()), 1);
    record[78] = static_cast<std::uint8_t>(mode);
    ASSERT_EQ(setReaderSettings(context, record.data()), 1);
  };

  // Mode 1 is the engine's own: nothing but Code 128 and EAN-128 is sent,
  // and the group counts as written.
  const std::size_t saves = t.saves();
  writeMode(1);
  EXPECT_EQ(t.saves(), saves + 2);
  EXPECT_TRUE(isReleased(sem));
  EXPECT_EQ(token, 1);

  writeMode(6);
  EXPECT_EQ(t.engine.block()[20] >> 4, 6);
  EXPECT_EQ(token, 0);
  EXPECT_FALSE(isReleased(sem));
  // The press reads the mode from the copy kept beside the block.
  EXPECT_EQ(t.device.barcode.triggerMode, 6);

  writeMode(0x17);  // the engine keeps the low four bits: mode 7
  EXPECT_EQ(t.engine.block()[20] >> 4, 7);
  EXPECT_TRUE(isReleased(sem));
  EXPECT_EQ(token, 1);
  EXPECT_EQ(t.device.barcode.triggerMode, 7);

  // A refused mode touches neither the token nor the semaphore.
  t.engine.setRefuseAll(true);
  writeMode(6);
  EXPECT_EQ(token, 1);
  EXPECT_EQ(t.device.barcode.triggerMode, 7);
  token = 0;
  writeMode(5);
  EXPECT_FALSE(isReleased(sem));
  EXPECT_EQ(token, 0);
}

TEST(TriggerPress, AnEngineInASelfTriggeredModeIsLeftToItselfAndOnlyTheRfidReadIsReleased) {
  constexpr std::uint32_t kDown = 0xC123;
  Library &lib = library();
  lib.messages.user1Down = kDown;
  lib.triggerKeyEnabled = 1;
  lib.device.barcode.kind = 2;
  // Modes 1, 5 and 7 trigger by themselves; a block too short to be read
  // counts as mode 0.
  const struct {
    int mode;
    std::size_t length;
    bool barcodeReleased;
  } cases[] = {{1, 32, false}, {5, 32, false}, {7, 32, false}, {6, 32, true}, {5, 29, true}};
  for (const auto &c : cases) {
    std::vector<std::uint8_t> block(c.length, 0);
    block[20] = static_cast<std::uint8_t>(c.mode << 4);
    lib.device.barcode.configBlock = ByteString::fromBytes(block);
    configBlockChanged(lib.device.barcode);
    readerWindowProcedure(0, kDown, 0, 0);
    EXPECT_EQ(isReleased(lib.barcodeTriggerSem), c.barcodeReleased) << c.mode;
    EXPECT_TRUE(isReleased(lib.rfidTriggerSem)) << c.mode;
  }
  lib.device.barcode.kind = 0;
}

}  // namespace
}  // namespace reader
