// RFID tags through the exported and host API against both simulated module
// kinds: the auto-read on a trigger press with its announcement and queries,
// the hex-frame module's protocol rotation, reads and writes by byte address
// (Mifare sectors, logins, the 128-byte cap), and the tag memory afterwards.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "scan_host.h"
#include "support/hex_bytes.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using readersim::tagOf;

namespace {

Bytes uidOf(const std::string &text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return out;
}

class RfidTagTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  void start(int moduleKind, const std::vector<std::string> &tags) {
    readersim::TerminalConfig config = quickConfig(0, moduleKind);
    for (const std::string &t : tags) config.tags.push_back(tagOf(t));
    terminal_ = startTerminal(config);
    ASSERT_EQ(InitReader(), READER_OK);
  }
  // The text commands (kind 5) or hex frames (kind 6) the module received
  // from now on.
  std::size_t mark() const { return receivedFrames(*terminal_->module()).size(); }
  std::vector<std::string> sentSince(std::size_t from) const {
    std::vector<std::string> out;
    const auto frames = receivedFrames(*terminal_->module());
    for (std::size_t i = from; i < frames.size(); ++i) out.push_back(frames[i].text());
    return out;
  }
  Bytes memoryBlock(const std::string &uid, int block) const {
    const Bytes id = uidOf(uid);
    const auto tag = terminal_->tag(id);
    return tag && tag->block(block) ? *tag->block(block) : Bytes{};
  }
  // ReadRfidData of the data bytes; the count or the code.
  int readData(Bytes &out, int start, int length, const char *key) {
    char buffer[300] = {};
    const int n = ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, start, length, 0, key);
    out.assign(buffer, buffer + std::max(n, 0));
    return n;
  }
  int write(const Bytes &data, int start, const char *key, int &written) {
    written = -1;
    return WriteRfidData(data.data(), start, static_cast<int>(data.size()), &written, 0, 0, key);
  }

  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

class RfidAutoRead : public RfidTagTest, public ::testing::WithParamInterface<int> {};

TEST_P(RfidAutoRead, ATriggerPressReadsTheTagAndAnnouncesIt) {
  {
    // ISO 15693 (Philips) on either module; its data from block 0.
    start(GetParam(), {"philips:E004010203040506:" + hex(pattern(16, 0x40))});
    ASSERT_EQ(SetTriggerKey(1), 1);
    unsigned char settings[READER_SETTINGS_RECORD_SIZE] = {};
    ASSERT_EQ(GetReaderSettings(settings), 1);
    settings[311] = 1;    // the record carries the UID,
    settings[312] = 1;    // the tag data,
    settings[314] = ';';  // and a separator between them
    ASSERT_EQ(SetReaderSettings(settings), 1);
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced(32) == 1; }));
    EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 0), 1);
    EXPECT_EQ(GetDecodeTagType(), 'V');
    char uid[64] = {};
    EXPECT_GT(GetDecodeRfidUID(uid, sizeof uid), 0);
    EXPECT_NE(std::string(uid).find("E004010203040506"), std::string::npos) << uid;
    char data[256] = {};
    const int n = GetDecodeRfidData(data, sizeof data);
    ASSERT_GE(n, 16);
    EXPECT_EQ(Bytes(data, data + 16), pattern(16, 0x40));
    char record[300] = {};
    const int length = GetOutputRecord(32, record, sizeof record);
    EXPECT_EQ(std::string(record, static_cast<std::size_t>(std::max(length, 0))),
              std::string(uid) + ";" + std::string(data, static_cast<std::size_t>(n)));
  }
}

INSTANTIATE_TEST_SUITE_P(ModuleKinds, RfidAutoRead, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

TEST_F(RfidTagTest, MifareReadsPassOverTrailersWithTheDefaultStartAndLogInPerSector) {
  const Bytes data = pattern(128);
  start(5, {"mifare:04A1B2C3:" + hex(data) + ":KEY1"});
  Bytes out;
  std::size_t from = mark();
  ASSERT_EQ(readData(out, -1, 96, "KEY1"), 96);
  EXPECT_EQ(out, Bytes(data.begin(), data.begin() + 96));
  std::vector<std::string> sent = sentSince(from);
  const std::vector<std::string> expected = {"l01KEY1", "rb04", "rb05", "rb06", "l02KEY1", "rb08", "rb09", "rb0a"};
  EXPECT_TRUE(std::search(sent.begin(), sent.end(), expected.begin(), expected.end()) != sent.end())
      << ::testing::PrintToString(sent);

  // An explicit start counts the trailer like any block: bytes 112 to 143
  // are blocks 7 (the trailer) and 8.
  from = mark();
  ASSERT_EQ(readData(out, 112, 32, "KEY1"), 32);
  sent = sentSince(from);
  EXPECT_TRUE(std::find(sent.begin(), sent.end(), "rb07") != sent.end());
  EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(data.begin() + 48, data.begin() + 64));

  // More than 128 bytes is 128 bytes.
  ASSERT_EQ(readData(out, -1, 200, "KEY1"), 128);
  EXPECT_EQ(out, data);

  // A null key logs in with nothing after the sector number: refused here,
  // so the tag comes without data.
  from = mark();
  EXPECT_EQ(readData(out, -1, 16, nullptr), 0);
  sent = sentSince(from);
  EXPECT_TRUE(std::find(sent.begin(), sent.end(), "l01") != sent.end()) << ::testing::PrintToString(sent);
}

TEST_F(RfidTagTest, WritesPlaceEachChunkAtItsOwnAddress) {
  start(5, {"icode:E00401A2B3C4D5E6", "mifare:04A1B2C3:" + hex(Bytes(128, 0xEE)) + ":K"});
  // Only one tag answers at a time: take the Icode away for the Mifare part.
  const Bytes icode = uidOf("E00401A2B3C4D5E6");
  const Bytes before1 = memoryBlock("E00401A2B3C4D5E6", 1);
  int written = 0;
  ASSERT_EQ(write(pattern(10, 0xA0), 6, nullptr, written), 1);
  EXPECT_EQ(written, 10);
  EXPECT_EQ(memoryBlock("E00401A2B3C4D5E6", 1), (Bytes{before1[0], before1[1], 0xA0, 0xA1}));
  EXPECT_EQ(memoryBlock("E00401A2B3C4D5E6", 2), (Bytes{0xA2, 0xA3, 0xA4, 0xA5}));
  EXPECT_EQ(memoryBlock("E00401A2B3C4D5E6", 3), (Bytes{0xA6, 0xA7, 0xA8, 0xA9}));
  ASSERT_FALSE(terminal_->removeTag(icode).has_value());

  // 60 bytes from the default start: blocks 4, 5, 6 and 8; trailer 7 kept.
  const Bytes trailer = memoryBlock("04A1B2C3", 7);
  ASSERT_EQ(write(pattern(60, 1), -1, "K", written), 1);
  EXPECT_EQ(written, 60);
  EXPECT_EQ(memoryBlock("04A1B2C3", 4), pattern(16, 1));
  EXPECT_EQ(memoryBlock("04A1B2C3", 6), pattern(16, 33));
  EXPECT_EQ(memoryBlock("04A1B2C3", 7), trailer);
  Bytes block8 = pattern(12, 49);
  block8.resize(16, 0xEE);
  EXPECT_EQ(memoryBlock("04A1B2C3", 8), block8);
}

TEST_F(RfidTagTest, AFailedWriteEndsTheWriteAndCountsOnlyWhatWasWritten) {
  start(5, {"mifare:04A1B2C3:" + hex(Bytes(64, 0xEE)) + ":K"});
  terminal_->rfidModule()->failBlockWrite(5, "F");
  int written = 0;
  ASSERT_EQ(write(pattern(40, 1), -1, "K", written), 1);
  EXPECT_EQ(written, 16);
  EXPECT_EQ(memoryBlock("04A1B2C3", 4), pattern(16, 1));
  EXPECT_EQ(memoryBlock("04A1B2C3", 6), Bytes(16, 0xEE));  // not the chunk meant for block 5

  // Every block refused: nothing written, and said so.
  terminal_->rfidModule()->failBlockWrite(4, "F");
  EXPECT_EQ(write(pattern(16, 1), -1, "K", written), -276);
  EXPECT_EQ(written, 0);
}

TEST_F(RfidTagTest, AFailedBlockReadEndsTheDataWithTheBytesBeforeIt) {
  start(5, {"icode:E00401A2B3C4D5E6:" + hex(pattern(40))});
  terminal_->rfidModule()->failBlockRead(7, "F");
  Bytes out;
  ASSERT_EQ(readData(out, -1, 40, nullptr), 8);  // blocks 5 and 6 only
  EXPECT_EQ(out, pattern(8));
}

TEST_F(RfidTagTest, TheHexModuleRotatesFromTheSelectedProtocolAndRefusesWritesToTypeATags) {
  const std::string selectA = "010C00030410002101090000", selectB = "010C000304100021010C0000",
                    selectTagit = "010C00030410002101130000", select15693 = "010C00030410002101000000";
  // A tag of each family selects its protocol; with the field empty, the
  // next cycle starts there and selects the other three in the order
  // ISO 15693, type A, Tag-it, type B.
  const struct {
    const char *tag;
    std::vector<std::string> selects;
  } starts[] = {
      {"philips:E004010203040506", {selectA, selectTagit, selectB}},
      {"mifare:04A1B2C3", {selectTagit, selectB, select15693}},
      {"tagit:A1B2C3D4", {selectB, select15693, selectA}},
      {"iso14443b:A1B2C3D4", {select15693, selectA, selectTagit}},
  };
  start(6, {});
  Bytes out;
  for (const auto &s : starts) {
    SCOPED_TRACE(s.tag);
    ASSERT_FALSE(terminal_->placeTag(tagOf(s.tag)).has_value());
    ASSERT_GE(readData(out, -1, 4, nullptr), 0);
    ASSERT_FALSE(terminal_->clearTags().has_value());
    const std::size_t from = mark();
    EXPECT_EQ(readData(out, -1, 4, nullptr), -280);
    std::vector<std::string> selects;
    for (const std::string &frame : sentSince(from))
      if (frame.rfind("010C0003041000210", 0) == 0) selects.push_back(frame);
    EXPECT_EQ(selects, s.selects);
  }

  ASSERT_FALSE(terminal_->placeTag(tagOf("mifare:04A1B2C3")).has_value());
  int written = 0;
  ASSERT_GE(readData(out, -1, 4, nullptr), 0);  // finds the type A tag and selects its protocol
  EXPECT_EQ(write(pattern(4), 0, nullptr, written), -276);
  EXPECT_EQ(written, 0);
}

// Every family on the ASCII module: a 128-byte read from the family's
// default start gives the bytes laid in from its first data block, cut at
// 128 bytes or at the family's last block; the tag type code names the
// family, SRIX4K by its 4-byte blocks.
TEST_F(RfidTagTest, EveryFamilyIsReadFromItsFirstDataBlockUpToItsLastBlock) {
  const struct {
    const char *tag;
    int expectedBytes;
    int typeCode;
  } families[] = {
      {"icode:E00401A2B3C4D5E6", 44, 'I'},
      {"ultralight:04A1B2C3D4E5F6", 48, 'M'},
      {"mifare:04A1B2C3", 128, 'M'},
      {"myd:04A1B2C3D4E5F607", 128, 'M'},
      {"iso14443b:A1B2C3D4", 128, 'Z'},
      {"sr176:D00201A2B3C4D5E6", 22, 'S'},
      {"srix4k:D00201A2B3C4D5E6", 128, 'Z'},
      {"tagit:A1B2C3D4", 32, 'T'},
      {"st:E00201A2B3C4D5E6", 128, 'V'},
      {"myd-vicinity:E00501A2B3C4D5E6", 128, 'V'},
      {"infineon-em4135:E01601A2B3C4D5E6", 128, 'V'},
  };
  start(5, {});
  for (const auto &f : families) {
    SCOPED_TRACE(f.tag);
    readersim::SimTag tag = tagOf(f.tag);
    const Bytes data = pattern(tag.dataCapacity(), 1);
    tag.fillData(data);
    ASSERT_FALSE(terminal_->clearTags().has_value());
    ASSERT_FALSE(terminal_->placeTag(tag).has_value());
    Bytes out;
    EXPECT_EQ(readData(out, -1, 128, ""), f.expectedBytes);
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + std::min<std::ptrdiff_t>(f.expectedBytes, data.size())));
    EXPECT_EQ(GetDecodeTagType(), f.typeCode);
  }
}

// The hex-frame module's port closes after 20 idle seconds; a write then
// reopens it (set-up and protocol select) as a read would.
TEST_F(RfidTagTest, AnIdleClosedHexModuleIsReopenedForAWrite) {
  start(6, {"philips:E004010203040506"});
  readersim::PtyDevice &module = *terminal_->module();
  Bytes out;
  ASSERT_EQ(readData(out, 0, 4, nullptr), 4);
  ASSERT_TRUE(module.waitForHostCloseCount(1, std::chrono::seconds(40)));
  int written = 0;
  ASSERT_EQ(write(Bytes{0xCA, 0xFE}, 4, nullptr, written), 1);
  EXPECT_EQ(written, 2);
  const Bytes block1 = memoryBlock("E004010203040506", 1);
  ASSERT_EQ(block1.size(), 4u);
  EXPECT_EQ(Bytes(block1.begin(), block1.begin() + 2), (Bytes{0xCA, 0xFE}));
}

// Calls from several threads and the trigger's auto-read share the module:
// each gets whole cycles, none takes another's answers.
TEST_F(RfidTagTest, ConcurrentReadsWritesAndAutoReadsAreServedOneAtATime) {
  start(5, {"icode:E00401A2B3C4D5E6:" + hex(pattern(44))});
  ASSERT_EQ(SetTriggerKey(1), 1);
  std::atomic<int> failures{0};
  std::thread reader([&] {
    for (int i = 0; i < 8; ++i) {
      char buffer[64];
      if (ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 16, 0, nullptr) != 16) ++failures;
    }
  });
  std::thread writer([&] {
    for (int i = 0; i < 8; ++i) {
      const Bytes data = pattern(8, static_cast<std::uint8_t>(0x80 + i));
      int written = 0;
      if (WriteRfidData(data.data(), 40, 4, &written, 0, 0, nullptr) != 1 || written != 4) ++failures;
    }
  });
  for (int press = 1; press <= 3; ++press) EXPECT_TRUE(host_.pressUntil([&] { return host_.announced(32) >= press; }));
  reader.join();
  writer.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(memoryBlock("E00401A2B3C4D5E6", 10), pattern(4, 0x87));
}

TEST_F(RfidTagTest, ASilentOrVanishedModuleFailsTheCallsWithoutHanging) {
  start(6, {"philips:E004010203040506"});
  terminal_->module()->setSilent(true);
  Bytes out;
  EXPECT_EQ(readData(out, -1, 16, nullptr), -280);
  int written = 0;
  EXPECT_EQ(write(pattern(4), 0, nullptr, written), -276);
  terminal_->module()->setSilent(false);
  terminal_->module()->vanish();
  EXPECT_EQ(readData(out, -1, 16, nullptr), -280);
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
}
