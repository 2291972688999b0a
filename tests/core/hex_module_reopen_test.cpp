// The hex-frame module's idle close and reopen, with a short idle time so the
// round trip is quick: the port closes when idle, a reopen sets the speed,
// sends no set-up twice and selects the tag family again.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include "api/library.h"
#include "rfid/module_port_reopen.h"
#include "support/test_terminal.h"

using namespace testing_support;

TEST(HexModuleReopen, IdlePortIsClosedAndReopenedWithItsProtocol) {
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(0, 6));
  readersim::HexModule &module = *terminal->hexModule();
  reader::ReaderDevice &device = reader::library().device;
  device.idleCloseSeconds = 1;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_TRUE(module.waitForHostCloseCount(1, kPatience));
  EXPECT_FALSE(device.rfid.port.isOpen());

  device.rfid.protocolSelector = 3;
  const bool reopened = reader::reopenRfidPort(*reader::PortLock::take(device.rfid));
  ASSERT_TRUE(reopened);
  EXPECT_TRUE(module.waitForHostOpenCount(2, kPatience));
  EXPECT_EQ(module.hostSpeed(), 115200);
  EXPECT_EQ(module.selectedProtocol(), readersim::HexModule::Protocol::Iso14443A);
  const auto frames = module.frames();
  EXPECT_EQ(frames.back(), std::string(readersim::HexModule::kSelectIso14443A));
  EXPECT_EQ(std::count(frames.begin(), frames.end(), std::string(readersim::HexModule::kSetupFrame1)), 1);

  // An open port is left as it is.
  EXPECT_TRUE(reader::reopenRfidPort(*reader::PortLock::take(device.rfid)));
  EXPECT_EQ(module.frames().size(), frames.size());

  // The idle-close thread keeps working after the reopen.
  EXPECT_TRUE(module.waitForHostCloseCount(2, kPatience));
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
}
