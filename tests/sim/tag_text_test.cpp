// Tags as people type them: FAMILY:UID[:DATAHEX[:KEY]].
#include "readersim/tag_text.h"

#include <gtest/gtest.h>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

TEST(TagText, EveryFamilyNameAndAliasParsesAndFormatsBack) {
  for (const TagFamilyInfo &info : tagFamilyTable()) {
    std::string uid =
        info.letter == 'V' ? "E0" + toHexText(std::vector{info.manufacturerCode.value_or(0x99)}) : std::string("04");
    uid.resize(2 * info.uidLengths[0], '1');
    for (std::string_view name : {info.name, info.alias}) {
      if (name.empty()) continue;
      std::string upper(name);
      for (char &c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      TagParse parsed = parseTag(upper + ":" + uid);
      ASSERT_TRUE(parsed) << name << ": " << parsed.error;
      EXPECT_EQ(parsed.tag->family(), info.family);
      EXPECT_EQ(formatTag(*parsed.tag), std::string(info.name) + ":" + uid);
      EXPECT_EQ(parsed.tag->blockCount() * parsed.tag->blockSize(), parsed.tag->memory().size());
    }
  }
}

TEST(TagText, DataFillsTheBlocksADefaultReadTakesAndAKeyLocksEveryMifareSector) {
  // 56 bytes: Mifare blocks 4, 5, 6 and half of 8; trailer 7 untouched.
  const std::string data = std::string(32, 'A') + std::string(32, 'B') + std::string(32, 'C') + std::string(16, 'D');
  SimTag mifare = tagOf("mifare:04A1B2C3:" + data + ":k:e:y");
  EXPECT_EQ(mifare.block(4), std::vector<std::uint8_t>(16, 0xAA));
  EXPECT_EQ(mifare.block(5), std::vector<std::uint8_t>(16, 0xBB));
  EXPECT_EQ(mifare.block(6), std::vector<std::uint8_t>(16, 0xCC));
  EXPECT_EQ(toHexText(*mifare.block(7)), "000000000000FF078069FFFFFFFFFFFF");
  EXPECT_EQ(toHexText(*mifare.block(8)), std::string(16, 'D') + std::string(16, '0'));
  EXPECT_EQ(mifare.sectorKey(0), "k:e:y");
  EXPECT_EQ(mifare.sectorKey(63), "k:e:y");
  EXPECT_EQ(tagOf("mifare:04A1B2C3").sectorKey(5), "");
  EXPECT_EQ(tagOf("mifare:04A1B2C3::").sectorKey(5), "");

  // An SRIX4K starts at block 7, an ISO 15693 tag at block 0, Icode at 5.
  EXPECT_EQ(tagOf("srix4k:D00200000000ABCD:01020304").block(7), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(tagOf("st:E002000000000001:0102").block(0), (std::vector<std::uint8_t>{1, 2, 0, 0}));
  EXPECT_EQ(tagOf("icode:0102030405060708:AABBCCDD").block(5), (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC, 0xDD}));
  // Exactly full, then one byte too many.
  SimTag tagit = tagOf("tagit:01020304");
  EXPECT_TRUE(parseTag("tagit:01020304:" + std::string(2 * tagit.dataCapacity(), 'F')));
  EXPECT_FALSE(parseTag("tagit:01020304:" + std::string(2 * tagit.dataCapacity() + 2, 'F')));
}

TEST(TagText, BadTextIsRefusedWithOneLineSayingWhy) {
  const std::pair<std::string, std::string> bad[] = {
      {"", "a tag is FAMILY:UID[:DATAHEX], not ''"},
      {"mifare", "a tag is FAMILY:UID[:DATAHEX], not 'mifare'"},
      {"nosuch:01020304", "unknown tag family 'nosuch'; try 'tag families'"},
      {"mifare:", "the UID must be hexadecimal digits, two per byte, not ''"},
      {"mifare:0102030", ""},
      {"mifare:0102030x", ""},
      {"mifare:01020304050607", "mifare UIDs are 4 or 10 bytes, not 7"},  // the host would say Ultralight
      {"myd:0102030405060708090A", "myd UIDs are 8 bytes, not 10"},
      {"philips:E002000000000001", "philips UIDs carry the manufacturer code 04 in byte 1 (E004...), not 02"},
      {"iso15693:E007000000000001", "UID byte 1 is 07, the manufacturer code of ti tags; use that family"},
      {"tagit:01020304:ABC", ""},
      {"tagit:01020304:" + std::string(66, '0'), "33 data bytes do not fit: a tagit tag holds 32 from block 0"},
      {"icode:0102030405060708:00:key", "only mifare tags take a KEY"},
      {std::string("mifare:\x01\xFF", 9), ""},
  };
  for (const auto &[text, error] : bad) {
    TagParse parsed = parseTag(text);
    EXPECT_FALSE(parsed) << text;
    if (!error.empty()) {
      EXPECT_EQ(parsed.error, error) << text;
    }
    EXPECT_FALSE(parsed.error.empty()) << text;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << text;
    for (char c : parsed.error) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << text;
  }
  EXPECT_THROW(tagOf("mifare:01"), std::invalid_argument);
}

}  // namespace
}  // namespace readersim
