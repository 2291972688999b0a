// Tag cycles, reads and writes against a hex-frame module played by the
// test: the protocol rotation, the block frames, the answers that are no tag.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "api/library.h"
#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "core/tag_type.h"
#include "rfid/module_reading_switch.h"
#include "rfid/tag_cycle.h"
#include "rfid/tag_detection.h"
#include "scripted_module.h"
#include "support/hex_bytes.h"

using testing_support::Bytes;
using testing_support::hex;
using testing_support::unhex;
using Frames = std::vector<std::string>;
namespace TagType = reader::TagType;

namespace {

constexpr const char *kDetectA = "0109000304A0010000";
constexpr const char *kDetectB = "0109000304B0040000";
constexpr const char *kDetectTagit = "010B000304340050000000";
constexpr const char *kDetectIso15693 = "010B000304140401000000";
constexpr const char *kSelectA = "010C00030410002101090000";
constexpr const char *kSelectB = "010C000304100021010C0000";
constexpr const char *kSelectIso15693 = "010C00030410002101000000";

// A Tag-it block as the module reports it: shifted right by two bits.
std::string tagitShifted(const Bytes &d) {
  return hex({static_cast<std::uint8_t>(d[0] >> 2), static_cast<std::uint8_t>((d[0] & 3) << 6 | d[1] >> 2),
              static_cast<std::uint8_t>((d[1] & 3) << 6 | d[2] >> 2),
              static_cast<std::uint8_t>((d[2] & 3) << 6 | d[3] >> 2), static_cast<std::uint8_t>((d[3] & 3) << 6)});
}

// The module with one tag of one protocol in its field, whose 4-byte block n
// holds 4n .. 4n+3.
class HexModuleTagTest : public ::testing::Test {
 protected:
  void start(int tagProtocol, const std::string &detection, int selector, bool portOpen = true) {
    {
      std::lock_guard lock(mutex_);
      tagProtocol_ = tagProtocol;
      detection_ = detection;
      for (int n = 0; n < 64; ++n)
        memory_[n] = {static_cast<std::uint8_t>(4 * n), static_cast<std::uint8_t>(4 * n + 1),
                      static_cast<std::uint8_t>(4 * n + 2), static_cast<std::uint8_t>(4 * n + 3)};
    }
    module_ = std::make_unique<testing_support::ScriptedModule>([this](const std::string &f) { return answer(f); });
    reader::DeviceChannel &rfid = channel();
    rfid.portNumber = 2;
    rfid.kind = reader::DeviceKind::HexModule;
    rfid.moduleVariant = 2;
    rfid.protocolSelector = selector;
    reader::library().device.rfidPresent = 1;
    if (portOpen) {
      const auto lock = reader::PortLock::take(rfid);
      ASSERT_TRUE(reader::openPort(*lock) && reader::setBaud(*lock, 115200));
    }
    rfid.baudRate = 115200;
  }
  void TearDown() override { reader::closePort(*reader::PortLock::take(channel())); }

  void presentTag(int protocol, const std::string &detection) {
    std::lock_guard lock(mutex_);
    tagProtocol_ = protocol;
    detection_ = detection;
  }
  Bytes block(int n) {
    std::lock_guard lock(mutex_);
    return memory_[n];
  }
  Frames frames() const { return module_->commands(); }
  reader::DeviceChannel &channel() { return reader::library().device.rfid; }

  bool cycle(int start, int length, reader::ScanResult &out) {
    return reader::rfidReadCycle(reader::library().device, start, length, reader::ByteString(), out);
  }

 private:
  std::string answer(const std::string &frame) {
    const Bytes bytes = unhex(frame);
    if (bytes.size() < 8) return "";
    std::lock_guard lock(mutex_);
    static const std::map<std::uint8_t, int> kDetections = {{0xA0, 3}, {0xB0, 5}, {0x34, 8}, {0x14, 16}};
    if (auto detection = kDetections.find(bytes[5]); detection != kDetections.end())
      return detection->second == tagProtocol_ ? detection_ : "[]";
    if (bytes[5] != 0x18) return "[00]";  // set-up and protocol selection
    const int n = bytes[8];
    switch (bytes[7]) {
      case 0x20: return "[00" + hex(memory_[n]) + "]";
      case 0x23: return "[00" + hex(memory_[n]) + hex(memory_[n + 1]) + "]";
      case 0x08: return "[000000" + tagitShifted(memory_[n]) + "]";
      default:  // the writes
        memory_[n] = Bytes(bytes.begin() + 9, bytes.end() - 2);
        return "[00]";
    }
  }

  std::mutex mutex_;
  int tagProtocol_ = 0;
  std::string detection_;
  std::map<int, Bytes> memory_;
  std::unique_ptr<testing_support::ScriptedModule> module_;
};

TEST_F(HexModuleTagTest, RotationStartsAtTheSelectedProtocolAndKeepsTheOneThatFound) {
  start(TagType::MifareFamily, "[04A1B2C328]", TagType::Tagit);
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 16, out));
  EXPECT_EQ(frames(), (Frames{kDetectTagit, kDetectTagit, kSelectB, kDetectB, kDetectB, kSelectIso15693,
                              kDetectIso15693, kDetectIso15693, kSelectA, kDetectA}));
  EXPECT_EQ(out.code, TagType::MifareFamily);
  EXPECT_EQ(out.name.toString(), "ISO14443 Type A, Mifare family");
  EXPECT_EQ(out.data.toString(), "04A1B2C3");
  EXPECT_EQ(out.blockSize, 16);
  EXPECT_TRUE(out.tagData.empty());  // no block commands for ISO 14443
  EXPECT_EQ(channel().protocolSelector, TagType::MifareFamily);
  EXPECT_EQ(channel().idleWake.wait(0), reader::platform::WaitResult::Signaled);
  EXPECT_EQ(GetDecodeTagType(), 'M');
}

TEST_F(HexModuleTagTest, NoTagInAnyProtocolLeavesTheLastOneTried) {
  start(TagType::None, "", TagType::Iso15693);
  reader::ScanResult stored;
  stored.data.assign("STORED");
  channel().result.set(stored);
  reader::ScanResult out;
  EXPECT_FALSE(cycle(-1, 16, out));
  EXPECT_EQ(channel().lastError, reader::ChannelError::NoTag);
  EXPECT_EQ(channel().protocolSelector, TagType::Iso14443B);
  EXPECT_EQ(frames().size(), 11u);  // three selections, eight detections
  EXPECT_EQ(channel().result.get().data.toString(), "STORED");
  EXPECT_EQ(channel().idleWake.wait(0), reader::platform::WaitResult::TimedOut);
}

TEST_F(HexModuleTagTest, Iso15693ReadTakesBlockPairsAndKeepsTheAskedBytes) {
  start(TagType::Iso15693, "[,40][0123456789ABCDEF01,50]\r\n", TagType::Iso15693);
  reader::ScanResult out;
  ASSERT_TRUE(cycle(6, 3, out));
  // Block 0 gives the block size, then blocks 1 and 2 in one request.
  EXPECT_EQ(frames(), (Frames{kDetectIso15693, "010B000304180020000000", "010C00030418002301010000"}));
  EXPECT_EQ(out.blockSize, 4);
  EXPECT_EQ(out.data.toString(), "01EFCDAB8967452301");
  EXPECT_EQ(out.tagData.toBytes(), (Bytes{6, 7, 8}));
  ASSERT_TRUE(cycle(-1, 128, out));
  Bytes all(128);
  for (int i = 0; i < 128; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(out.tagData.toBytes(), all);
}

TEST_F(HexModuleTagTest, TagitReadStopsAtTheReportedBlockCount) {
  start(TagType::Tagit, "[1234A1B2C3D456780108]", TagType::Tagit);
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 128, out));
  EXPECT_EQ(out.data.toString(), "A1B2C3D4");
  EXPECT_EQ(frames().size(), 9u);  // the detection, blocks 0 to 7
  EXPECT_EQ(frames().back(), "010B000304180008070000");
  Bytes expected(32);
  for (int i = 0; i < 32; ++i) expected[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(out.tagData.toBytes(), expected);
}

TEST_F(HexModuleTagTest, DetectionAnswersWithoutAUidAreNoTag) {
  start(TagType::None, "", 0);
  const std::pair<int, const char *> answers[] = {
      {TagType::MifareFamily, "[A]"}, {TagType::MifareFamily, "[28]"}, {TagType::MifareFamily, "[04A1"},
      {TagType::Iso15693, "[]"},      {TagType::Iso15693, "[,40]"},    {TagType::Iso15693, "[0123456]"},
      {TagType::Iso14443B, "[][]"},   {TagType::Tagit, "[zz]"},
  };
  for (auto [protocol, detection] : answers) {
    presentTag(protocol, detection);
    channel().protocolSelector = protocol;
    reader::ScanResult out;
    const auto lock = reader::PortLock::take(channel());
    ASSERT_TRUE(reader::switchModuleReading(*lock, true));
    EXPECT_FALSE(reader::readTag(*lock, out, reader::TagRequest{0, 16, reader::ByteString()})) << detection;
    reader::switchModuleReading(*lock, false);
    EXPECT_EQ(channel().lastError, reader::ChannelError::NoTag) << detection;
    EXPECT_TRUE(out.data.empty());
  }
}

TEST_F(HexModuleTagTest, WriteReopensAnIdleClosedPortAndWritesTheBlock) {
  start(TagType::Iso15693, "[,40][0123456789ABCDEF01,50]", TagType::Iso15693, false);
  const Bytes data = {0xDE, 0xAD, 0xBE};
  int written = -1;
  EXPECT_EQ(WriteRfidData(data.data(), 1, 3, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 3);
  EXPECT_EQ(block(0), (Bytes{0, 0xDE, 0xAD, 0xBE}));
  EXPECT_EQ(frames(), (Frames{"0109000304F0000000", "0109000304F1FF0000", kSelectIso15693, kDetectIso15693,
                              "010B000304180020000000", "010C00030418002300010000", "010B000304180020000000",
                              "010F0003041800210000DEADBE0000"}));
  EXPECT_TRUE(channel().port.isOpen());

  // No block commands for ISO 14443 tags on this module.
  presentTag(TagType::MifareFamily, "[04A1B2C328]");
  channel().protocolSelector = TagType::MifareFamily;
  EXPECT_EQ(WriteRfidData(data.data(), 1, 3, &written, 0, 0, nullptr), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
}

}  // namespace
