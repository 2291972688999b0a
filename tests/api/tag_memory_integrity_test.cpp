// Tag memory kept whole through ReadRfidData and WriteRfidData: a block the
// tag refuses to write is not counted as written, a reply carrying the tag's
// error is no block data, the families with 8-byte blocks keep every byte at
// its own address on both module kinds, and block answers of another length
// than the block size fail the call instead of moving bytes. What is on the
// tag is checked in the simulator, which records every write.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "scan_host.h"
#include "support/hex_bytes.h"
#include "support/test_terminal.h"

using namespace testing_support;
using readersim::tagOf;

namespace {

constexpr const char *kPhilips = "philips:E004010203040506";
const Bytes kPhilipsUid = unhex("E004010203040506");

// A tag whose memory holds its own byte addresses (mod 256), so that a byte
// read or written elsewhere than its address shows.
readersim::SimTag addressedTag(const std::string &text) {
  readersim::SimTag tag = tagOf(text);
  const auto size = tag.blockSize();
  for (int n = 0; n < tag.blockCount(); ++n) tag.setBlock(n, pattern(size, static_cast<std::uint8_t>(n * size)));
  return tag;
}

Bytes slice(const Bytes &bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

class TagMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  void start(int moduleKind, std::vector<readersim::SimTag> tags) {
    readersim::TerminalConfig config = quickConfig(0, moduleKind);
    config.tags = std::move(tags);
    terminal_ = startTerminal(config);
    ASSERT_EQ(InitReader(), READER_OK);
  }
  Bytes memory(const Bytes &uid) const {
    const auto tag = terminal_->tag(uid);
    return tag ? tag->memory() : Bytes{};
  }
  int readData(Bytes &out, int start, int length) {
    char buffer[300] = {};
    const int n = ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, start, length, 0, nullptr);
    out.assign(buffer, buffer + std::max(n, 0));
    return n;
  }
  int readUid(std::string &uid) {
    char buffer[64] = {};
    const int n = ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, 0, 16, 0, nullptr);
    uid = buffer;
    return n;
  }
  // The hex-frame module writes with the air protocol that found the last
  // tag: a read selects it.
  void identify() {
    std::string uid;
    ASSERT_GT(readUid(uid), 0);
  }
  int write(const Bytes &data, int start, int &written) {
    written = -1;
    return WriteRfidData(data.data(), start, static_cast<int>(data.size()), &written, 0, 0, nullptr);
  }
  // A reply of the tag holding these block bytes, as the hex-frame module
  // passes it on.
  static std::string vicinityReply(const Bytes &bytes) { return "[00" + hex(bytes) + "]"; }

  scan_testing::ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

class TagMemoryOnEitherModule : public TagMemoryTest, public ::testing::WithParamInterface<int> {};

std::string kindName(const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); }

}  // namespace

// A locked block: the ASCII module answers "R", the hex-frame module passes
// on the tag's error reply. Either way the block is not written, and a write
// that reaches it counts only the bytes before it.
TEST_P(TagMemoryOnEitherModule, ABlockTheTagRefusesIsNotCountedAsWritten) {
  readersim::SimTag tag = addressedTag(kPhilips);
  tag.setReadOnly(2);
  start(GetParam(), {tag});
  identify();
  const Bytes before = memory(kPhilipsUid);
  int written = 0;
  EXPECT_EQ(write(pattern(4, 0xA0), 8, written), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(memory(kPhilipsUid), before);

  ASSERT_EQ(write(pattern(8, 0xB0), 4, written), READER_OK);
  EXPECT_EQ(written, 4);
  Bytes expected = before;
  std::copy_n(pattern(4, 0xB0).begin(), 4, expected.begin() + 4);
  EXPECT_EQ(memory(kPhilipsUid), expected);
  Bytes out;
  ASSERT_EQ(readData(out, 0, 16), 16);
  EXPECT_EQ(out, slice(expected, 0, 16));
}

// ISO 15693 tags of 8-byte blocks (my-d vicinity, EM4135) and the type A
// my-d: written from byte 8 and across three blocks from byte 6, each byte
// lands at its address, and the read-back shows the tag as it is. The
// hex-frame module names every ISO 15693 tag by its protocol alone, and has
// no block commands for type A tags: those are neither read nor written.
TEST_P(TagMemoryOnEitherModule, EightByteBlocksKeepEveryByteAtItsAddress) {
  const int kind = GetParam();
  const struct {
    const char *tag;
    int typeCode;
    bool hasBlockCommands;
  } families[] = {
      {"myd-vicinity:E00501A2B3C4D5E6", 'V', true},
      {"infineon-em4135:E01601A2B3C4D5E6", 'V', true},
      {"myd:04A1B2C3D4E5F607", 'M', kind == 5},
  };
  start(kind, {});
  for (const auto &f : families) {
    SCOPED_TRACE(f.tag);
    const readersim::SimTag tag = addressedTag(f.tag);
    ASSERT_EQ(tag.blockSize(), 8u);
    ASSERT_FALSE(terminal_->clearTags().has_value());
    ASSERT_FALSE(terminal_->placeTag(tag).has_value());
    identify();
    Bytes expected = tag.memory();
    Bytes out;
    int written = 0;
    if (!f.hasBlockCommands) {
      EXPECT_EQ(readData(out, 0, 32), 0);
      EXPECT_EQ(GetDecodeTagType(), f.typeCode);
      EXPECT_EQ(write(pattern(4, 0xA0), 8, written), READER_ERR_RFID_WRITE);
      EXPECT_EQ(memory(tag.uid()), expected);
      continue;
    }
    ASSERT_EQ(readData(out, 0, 32), 32);
    EXPECT_EQ(out, slice(expected, 0, 32));
    EXPECT_EQ(GetDecodeTagType(), f.typeCode);

    ASSERT_EQ(write(pattern(4, 0xA0), 8, written), READER_OK);
    EXPECT_EQ(written, 4);
    std::copy_n(pattern(4, 0xA0).begin(), 4, expected.begin() + 8);
    EXPECT_EQ(memory(tag.uid()), expected);

    ASSERT_EQ(write(pattern(12, 0xC0), 6, written), READER_OK);
    EXPECT_EQ(written, 12);
    std::copy_n(pattern(12, 0xC0).begin(), 12, expected.begin() + 6);
    EXPECT_EQ(memory(tag.uid()), expected);

    ASSERT_EQ(readData(out, 4, 24), 24);
    EXPECT_EQ(out, slice(expected, 4, 24));
  }
}

INSTANTIATE_TEST_SUITE_P(ModuleKinds, TagMemoryOnEitherModule, ::testing::Values(5, 6), kindName);

// The tag's error reply (flags with the error bit, then the error code) to a
// block read is no block: the data ends before it, and a block it answers
// for is not written. When block 0 answers so, the tag's block size is
// unknown and nothing is read or written.
TEST_F(TagMemoryTest, AnErrorReplyToABlockReadIsNoBlockData) {
  start(6, {addressedTag(kPhilips)});
  const Bytes before = memory(kPhilipsUid);
  readersim::RfidModule &module = *terminal_->rfidModule();
  module.failBlockRead(2, readersim::vicinityError(0x10));
  Bytes out;
  ASSERT_EQ(readData(out, 0, 16), 8);
  EXPECT_EQ(out, slice(before, 0, 8));
  int written = 0;
  EXPECT_EQ(write(pattern(4, 0xA0), 8, written), READER_ERR_RFID_WRITE);

  module.clearFailures();
  module.failBlockRead(0, readersim::vicinityError(0x10));
  EXPECT_EQ(readData(out, 0, 16), 0);  // the tag, without data
  EXPECT_EQ(readData(out, 16, 4), 0);
  std::string uid;
  EXPECT_GT(readUid(uid), 0);
  EXPECT_EQ(uid.rfind("E004010203040506", 0), 0u) << uid;
  EXPECT_EQ(write(pattern(4, 0xA0), 20, written), READER_ERR_RFID_WRITE);
  EXPECT_EQ(memory(kPhilipsUid), before);
}

// Block answers longer or shorter than the block size: the data read fails
// (the UID is still read), the write writes nothing, and the trigger's
// auto-read announces the tag without data. A block 0 that overstates the
// size is caught by the next answer.
TEST_F(TagMemoryTest, BlockAnswersOfTheWrongLengthFailTheCallInsteadOfMovingBytes) {
  start(6, {addressedTag(kPhilips)});
  const Bytes before = memory(kPhilipsUid);
  readersim::RfidModule &module = *terminal_->rfidModule();
  module.failBlockRead(2, vicinityReply(pattern(6, 0xEE)));
  Bytes out;
  EXPECT_EQ(readData(out, 0, 16), READER_ERR_RFID_READ);
  std::string uid;
  EXPECT_GT(readUid(uid), 0);
  EXPECT_EQ(uid.rfind("E004010203040506", 0), 0u) << uid;
  ASSERT_EQ(readData(out, 0, 8), 8);  // blocks 0 and 1 answer as they should
  EXPECT_EQ(out, slice(before, 0, 8));
  int written = 0;
  EXPECT_EQ(write(pattern(4, 0xA0), 8, written), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(memory(kPhilipsUid), before);

  ASSERT_EQ(SetTriggerKey(1), 1);
  ASSERT_TRUE(host_.pressUntil([&] { return host_.announced(32) == 1; }));
  char data[256] = {};
  EXPECT_EQ(GetDecodeRfidData(data, sizeof data), 0);
  char announcedUid[64] = {};
  EXPECT_GT(GetDecodeRfidUID(announcedUid, sizeof announcedUid), 0);
  EXPECT_EQ(std::string(announcedUid), uid);

  module.clearFailures();
  module.failBlockRead(0, vicinityReply(pattern(8, 0xEE)));
  EXPECT_EQ(readData(out, 0, 16), READER_ERR_RFID_READ);
  EXPECT_EQ(write(pattern(4, 0xA0), 4, written), READER_ERR_RFID_WRITE);
  EXPECT_EQ(memory(kPhilipsUid), before);
}
