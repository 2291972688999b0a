// A channel used after its port was closed (a halt that raced a cycle):
// every operation fails with the invalid-port error and none reaches a port.
#include <gtest/gtest.h>

#include "barcode_port_fixture.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "platform/serial_port.h"

using reader::ByteString;

namespace {

using ClosedChannelTest = testing_support::BarcodePortTest;

TEST_F(ClosedChannelTest, EveryOperationFailsWithTheInvalidPortError) {
  reader::DeviceChannel &c = channel();
  c.kind = reader::DeviceKind::TextEngine;
  reader::closePort(port());
  reader::closePort(port());  // a second close is harmless
  ASSERT_FALSE(c.port.isOpen());
  const auto invalid = reader::platform::invalidPortError();

  auto expectFailed = [&](const char *what, bool result) {
    EXPECT_FALSE(result) << what;
    EXPECT_EQ(c.lastError.load(), invalid) << what;
    c.lastError = 0;
  };
  std::uint8_t byte = 0xAA;
  expectFailed("readByte", reader::readByte(port(), byte));
  EXPECT_EQ(byte, 0) << "a failed read leaves no stale byte";
  expectFailed("writeFrame", reader::writeFrame(port(), ByteString::fromText("VER")));
  expectFailed("setTimeout", reader::setTimeout(port(), 123, 'r'));
  expectFailed("setBaud", reader::setBaud(port(), 38400));
  ByteString frame = ByteString::fromText("old");
  expectFailed("readFrame", reader::readFrame(port(), frame, 50, false));
  EXPECT_TRUE(frame.empty());
  // Nothing was written to the device.
  EXPECT_TRUE(pty_->receive(std::chrono::milliseconds(0)).empty());
}

}  // namespace
