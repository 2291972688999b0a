// The hex-frame module's answers cut into UIDs and block bytes, and the
// commands and frames of both modules as they go on the wire.
#include "rfid/module_answer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_string.h"
#include "core/hex_module_frames.h"
#include "rfid/ascii_module_commands.h"
#include "rfid/module_frame.h"

using reader::AnswerMode;
using reader::ByteString;

namespace {

ByteString text(const std::string &s) { return ByteString::fromText(s); }
ByteString bytes(const std::vector<std::uint8_t> &b) { return ByteString::fromBytes(b); }

// The payload as text, or "FAIL".
std::string parsed(int selector, const std::string &answer, AnswerMode mode = AnswerMode::Uid) {
  ByteString payload;
  if (!reader::parseModuleAnswer(selector, text(answer), mode, payload)) {
    EXPECT_TRUE(payload.empty());
    return "FAIL";
  }
  return payload.toString();
}

TEST(ModuleAnswer, Iso15693PayloadEndsAtItsCommaAndReadsBothWays) {
  const std::string answer = "[,40][0123456789ABCDEF01,50]\r\n";
  EXPECT_EQ(parsed(16, answer), "01EFCDAB8967452301");
  EXPECT_EQ(parsed(16, answer, AnswerMode::Data), std::string("\x23\x45\x67\x89\xAB\xCD\xEF\x01"));
  // Empty fields are passed over; an unclosed one keeps back its last two
  // characters; a flags byte alone carries no data.
  EXPECT_EQ(parsed(16, "[][00E0a1]"), "A1E000");
  EXPECT_EQ(parsed(16, "[00E0A1\r\n", AnswerMode::Data), std::string("\xE0\xA1"));
  EXPECT_EQ(parsed(16, "[00]", AnswerMode::Data), "FAIL");
  for (const char *noUid : {"[]", "[,40]", "[", "", "[0]", "[012]", "[0G]", "no brackets", "[\r\n"})
    EXPECT_EQ(parsed(16, noUid), "FAIL") << noUid;
}

TEST(ModuleAnswer, OtherProtocolsTakeTheirFieldWithinTheAnswer) {
  EXPECT_EQ(parsed(3, "[04A1B2C328]"), "04A1B2C3");
  for (const char *noUid : {"[28]", "[8]", "[]", "04A1]", "[04A1B2C328", "]["})
    EXPECT_EQ(parsed(3, noUid), "FAIL") << noUid;
  for (int selector : {5, 8}) {
    EXPECT_EQ(parsed(selector, "[][ABCD][EF]"), "ABCD");
    for (const char *noField : {"[][]", "[ABCD", "", "ABCD"}) EXPECT_EQ(parsed(selector, noField), "FAIL") << noField;
  }
  for (int selector : {0, 1, 4, 6}) EXPECT_EQ(parsed(selector, "[04A1B2C328]"), "FAIL");
}

TEST(ModuleAnswer, UidAndTagitCountsComeFromTheirPlaces) {
  ByteString uid;
  int info = -1, count = -1;
  EXPECT_TRUE(reader::extractTagUid(5, text("5012345678AB"), uid, info, count));
  EXPECT_EQ(uid.toString(), "12345678");
  EXPECT_TRUE(reader::extractTagUid(5, text("501234567"), uid, info, count));
  EXPECT_EQ(uid.toString(), "501234567");

  EXPECT_TRUE(reader::extractTagUid(8, text("1234A1B2C3D456780108"), uid, info, count));
  EXPECT_EQ(uid.toString(), "A1B2C3D4");
  EXPECT_EQ(info, 1);
  EXPECT_EQ(count, 8);
  for (const char *odd : {"1234A1B2C3D45678010", "1234A1B2C3D4567801080"}) {
    EXPECT_TRUE(reader::extractTagUid(8, text(odd), uid, info, count));
    EXPECT_EQ(uid.toString(), odd);
    EXPECT_EQ(info + count, 0);
  }
  // Counts that do not decode read no data.
  EXPECT_TRUE(reader::extractTagUid(8, text("1234A1B2C3D4567801XX"), uid, info, count));
  EXPECT_EQ(info + count, 0);
  EXPECT_FALSE(reader::extractTagUid(16, text(""), uid, info, count));
}

TEST(ModuleAnswer, TagitBlocksAreShiftedBackByTwoBits) {
  ByteString block;
  EXPECT_TRUE(reader::realignTagitBlock(text("000000FFFFFFFFFF"), block));
  EXPECT_EQ(block.toString(), std::string("\xFF\xFF\xFF\xFF"));
  EXPECT_TRUE(reader::realignTagitBlock(text("0000003FC00000FF99"), block));
  EXPECT_EQ(block.toString(), std::string("\xFF\x00\x00\x03", 4));
  for (const char *bad : {"000000FFFFFFFFF", "000000FFFFFFFFFX", ""}) {
    EXPECT_FALSE(reader::realignTagitBlock(text(bad), block)) << bad;
    EXPECT_TRUE(block.empty());
  }
}

TEST(ModuleCommands, BothModulesGetTheirExactCommandText) {
  namespace frame = reader::HexModuleFrame;
  EXPECT_EQ(reader::moduleFrame(0x10, {0x00, 0x21, 0x01, 0x09}).toString(), frame::family(3)->select);
  EXPECT_EQ(reader::moduleFrame(0x10, {0x00, 0x21, 0x01, 0x00}).toString(), frame::family(16)->select);
  EXPECT_EQ(frame::family(4), nullptr);
  EXPECT_EQ(reader::moduleFrame(0xFE, {}).toString(), frame::Probe);
  EXPECT_EQ(reader::blockReadFrame(8, 10).toString(), "010B0003041800080A0000");
  EXPECT_EQ(reader::blockReadFrame(16, 10).toString(), "010B0003041800200A0000");
  EXPECT_EQ(reader::blockPairReadFrame(1).toString(), "010C00030418002301010000");
  EXPECT_EQ(reader::blockWriteFrame(16, 0, bytes({0xDE, 0xAD, 0xBE, 0xEF})).toString(),
            "010F00030418002100DEADBEEF0000");
  EXPECT_EQ(reader::blockWriteFrame(8, 2, bytes({0, 1, 2, 3})).toString(),
            "010F0003041800280200010203"
            "0000");
  EXPECT_TRUE(reader::blockReadFrame(3, 0).empty());
  EXPECT_TRUE(reader::blockReadFrame(16, 256).empty());
  EXPECT_TRUE(reader::blockWriteFrame(5, 0, bytes({1})).empty());

  EXPECT_EQ(reader::blockReadCommand(1, 10).toString(), "rb0a");
  EXPECT_EQ(reader::blockReadCommand(0, 10).toString(), "r0a");
  EXPECT_EQ(reader::blockWriteCommand(1, 10, bytes({0xAB, 0x01})).toString(), "wb0aAB01");
  EXPECT_EQ(reader::blockWriteCommand(0, 255, bytes({0x0F})).toString(), "wff0F");
  EXPECT_EQ(reader::sectorLoginCommand(1, text("AA5BC8D61E3A97")).toString(), "l01AA5BC8D61E3A97");
  EXPECT_EQ(reader::sectorLoginCommand(1, ByteString()).toString(), "l01");
}

}  // namespace
