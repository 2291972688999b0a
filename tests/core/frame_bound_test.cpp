// Devices that talk without ever ending a frame: a text engine that sends no
// CR, an ASCII module that sends no LF. The read gives up at the frame bound
// instead of growing the frame, and the channel stays usable.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "barcode_port_fixture.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"

using reader::ByteString;

namespace {

class FrameBoundTest : public testing_support::BarcodePortTest, public ::testing::WithParamInterface<int> {};

TEST_P(FrameBoundTest, AFrameWithoutItsEndIsGivenUpAtTheBound) {
  std::atomic<bool> stop{false};
  std::thread babble([this, &stop] {
    const std::vector<std::uint8_t> chunk(1024, 'z');  // neither CR, LF nor 0
    while (!stop) {
      try {
        pty_->send(chunk);
      } catch (...) {
        return;
      }
    }
  });
  channel().kind = GetParam();
  ByteString out;
  const bool ok = reader::readFrame(port(), out, 1000, false);
  stop = true;
  reader::closePort(port());  // unblocks a writer stuck on a full pty
  babble.join();
  EXPECT_FALSE(ok);
  EXPECT_LE(out.length(), reader::kMaxFrameBytes);
  EXPECT_GT(out.length(), 0u);
}

INSTANTIATE_TEST_SUITE_P(LineKinds, FrameBoundTest,
                         ::testing::Values(reader::DeviceKind::TextEngine, reader::DeviceKind::AsciiModule),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

}  // namespace
