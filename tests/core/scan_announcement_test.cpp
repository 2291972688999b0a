// A decode is handed on as soon as it is stored: the SSI engine's
// acknowledgement and the switch-off follow it, in the same order on the
// wire as ever.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/device_open.h"
#include "api/library.h"
#include "core/device_kind.h"
#include "core/reader_device.h"
#include "core/scan_control.h"
#include "support/test_terminal.h"

namespace {

using testing_support::receivedFrames;
using testing_support::ssiOpcode;

std::vector<std::uint8_t> opcodesOf(const std::vector<testing_support::ReceivedFrame> &frames, std::size_t from = 0) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = from; i < frames.size(); ++i) out.push_back(ssiOpcode(frames[i]));
  return out;
}

class ScanAnnouncementTest : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override { reader::closeDevice(device(), reader::kBarcodeDevice); }
  reader::ReaderDevice &device() { return reader::library().device; }
};

TEST_P(ScanAnnouncementTest, TheDecodeIsAnnouncedBeforeTheEngineIsAcknowledgedAndSwitchedOff) {
  const int kind = GetParam();
  auto terminal = testing_support::startTerminal(testing_support::quickConfig(kind, 0));
  std::uint32_t result = 0;
  ASSERT_TRUE(reader::openDevices(device(), reader::library().ssiKnown, true, false, result));
  device().barcode.aimTime = kind == 4 ? 3 : 0;  // variant 4 aims on every other press
  const std::size_t before = receivedFrames(*terminal->engine()).size();

  for (const std::string data : {"AB12", "CD34"}) {
    ASSERT_FALSE(terminal->presentBarcode(readersim::barcodeOf("code128:" + data)));
    const std::size_t start = receivedFrames(*terminal->engine()).size();
    std::vector<std::uint8_t> atAnnouncement;
    std::string storedAtAnnouncement;
    int announcements = 0;
    int code = 0;
    reader::ByteString name, out;
    const bool scanned = reader::scanBarcode(device(), code, name, out, 5000, [&] {
      ++announcements;
      atAnnouncement = opcodesOf(receivedFrames(*terminal->engine()), start);
      storedAtAnnouncement = device().barcode.result.get().data.toString();
    });
    ASSERT_TRUE(scanned);
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(storedAtAnnouncement, data);
    // Only the switch-on had been sent (aiming first, on variant 4's aiming
    // presses).
    ASSERT_FALSE(atAnnouncement.empty());
    EXPECT_EQ(atAnnouncement.back(), 0xE4);
    for (std::uint8_t opcode : atAnnouncement) EXPECT_TRUE(opcode == 0xE4 || opcode == 0xC5 || opcode == 0xC4);
    // Then the decode's ACK and the switch-off, as before.
    const std::vector<std::uint8_t> rest =
        opcodesOf(receivedFrames(*terminal->engine()), start + atAnnouncement.size());
    const std::vector<std::uint8_t> expected =
        kind == 3 ? std::vector<std::uint8_t>{0xD0, 0xE5} : std::vector<std::uint8_t>{0xD0, 0xC4, 0xE5};
    EXPECT_EQ(rest, expected);
  }
  EXPECT_GT(receivedFrames(*terminal->engine()).size(), before);
}

TEST_P(ScanAnnouncementTest, ADecodeThatDoesNotComeIsNotAnnounced) {
  const int kind = GetParam();
  auto terminal = testing_support::startTerminal(testing_support::quickConfig(kind, 0));
  std::uint32_t result = 0;
  ASSERT_TRUE(reader::openDevices(device(), reader::library().ssiKnown, true, false, result));
  int announcements = 0;
  int code = 0;
  reader::ByteString name, out;
  EXPECT_FALSE(reader::scanBarcode(device(), code, name, out, 300, [&] { ++announcements; }));
  EXPECT_EQ(announcements, 0);
  EXPECT_EQ(device().barcode.scanOn, 0);
}

INSTANTIATE_TEST_SUITE_P(SsiEngines, ScanAnnouncementTest, ::testing::Values(3, 4),
                         [](const auto &info) { return "Kind" + std::to_string(info.param); });

}  // namespace
