// The kind-5 module's tags: the line "s" reports, block commands with their
// status letters, Mifare sector logins.
#include <gtest/gtest.h>

#include "host_port.h"
#include "host_tag_parsing.h"
#include "readersim/ascii_module.h"
#include "readersim/hex_text.h"
#include "readersim/tag_text.h"

namespace readersim {
namespace {

using testing::HostPort;

// A UID of the family's first length; ISO 15693 ones with their maker code.
std::vector<std::uint8_t> sampleUid(const TagFamilyInfo &info) {
  std::vector<std::uint8_t> uid;
  for (std::size_t i = 0; i < info.uidLengths[0]; ++i) uid.push_back(static_cast<std::uint8_t>(0xA1 + i));
  if (info.letter == 'V') {
    uid[0] = 0xE0;
    uid[1] = info.manufacturerCode.value_or(0x99);
  }
  return uid;
}

class AsciiTags : public ::testing::Test {
 protected:
  explicit AsciiTags(AsciiModule::Version version = AsciiModule::Version::MultiIso10)
      : module_(optionsOf(version)), host_(module_.portPath(), 9600) {}

  static AsciiModule::Options optionsOf(AsciiModule::Version version) {
    AsciiModule::Options options;
    options.version = version;
    return options;
  }

  // One command and its line, without the line end.
  std::string exchange(std::string_view command) {
    EXPECT_TRUE(host_.write(command));
    std::string line = host_.readUntil('\n');
    EXPECT_TRUE(line.ends_with("\r\n")) << command << " -> " << line;
    return line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
  }

  AsciiModule module_;
  HostPort host_;
};

TEST_F(AsciiTags, EveryFamilyGetsTheTagTypeItStandsForFromTheHostsReadingOfItsLine) {
  for (const TagFamilyInfo &info : tagFamilyTable()) {
    SimTag tag(info.family, sampleUid(info));
    module_.clearField();
    module_.placeTag(tag);
    std::string line = exchange("s");
    EXPECT_EQ(line, std::string(1, info.letter) + toHexText(tag.uid())) << info.name;
    int tagType = testing::asciiLineTagType(line);
    // The host reads block 0 where the line leaves the family open.
    if (tagType == 6 || tagType == 11 || tagType == 14) {
      auto blockZero = fromHexText(exchange("rb00"));
      ASSERT_TRUE(blockZero) << info.name;
      tagType = testing::refinedTagType(tagType, blockZero->size());
    }
    EXPECT_EQ(tagType, static_cast<int>(info.family)) << info.name << ": " << line;
  }
  // A 10-byte Mifare UID is still Mifare, not Ultralight or my-d.
  module_.clearField();
  module_.placeTag(tagOf("mifare:04112233445566778899"));
  EXPECT_EQ(testing::asciiLineTagType(exchange("s")), 3);
}

TEST_F(AsciiTags, BlocksAreReadAndWrittenUntilTheTagLeavesWithTheStatusLettersOfEachRefusal) {
  SimTag icode = tagOf("icode:E0040100A1B2C3D4:11223344");  // data from block 5
  icode.setReadOnly(6);
  module_.placeTag(icode);
  module_.placeTag(tagOf("tagit:01020304"));
  EXPECT_EQ(exchange("rb05"), "N");               // nothing selected yet
  EXPECT_EQ(exchange("s"), "IE0040100A1B2C3D4");  // the first tag placed
  EXPECT_EQ(exchange("rb05"), "11223344");
  EXPECT_EQ(exchange("rb0a"), "00000000");  // the host's lowercase number
  EXPECT_EQ(exchange("r05"), "?");          // the ISO 0.9v form
  EXPECT_EQ(exchange("wb05DEADbeef"), "DEADBEEF");
  EXPECT_EQ(exchange("rb05"), "DEADBEEF");
  EXPECT_EQ(module_.tag(icode.uid())->block(5), (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(exchange("wb05DEAD"), "?");   // not one block
  EXPECT_EQ(exchange("wb0511223"), "?");  // not hexadecimal bytes
  EXPECT_EQ(exchange("rb10"), "O");       // an Icode has blocks 0 to 15
  EXPECT_EQ(exchange("wb0600000000"), "R");
  EXPECT_EQ(module_.tag(icode.uid())->block(6), icode.block(6));

  // On demand: block 5 fails always, reads of block 7 twice, any read once.
  module_.failBlockRead(5, "F");
  module_.failBlockWrite(7, "O", 1);
  module_.failNext("rb", "R", 1);
  EXPECT_EQ(exchange("rb07"), "R");
  EXPECT_EQ(exchange("rb05"), "F");
  EXPECT_EQ(exchange("rb05"), "F");
  EXPECT_EQ(exchange("rb07"), "00000000");
  EXPECT_EQ(exchange("wb0700000001"), "O");
  EXPECT_EQ(exchange("wb0700000001"), "00000001");
  module_.failNext("rb", "", 1);  // no answer at all: the next line is the next command's
  ASSERT_TRUE(host_.write("rb07"));
  EXPECT_EQ(exchange("v"), "MultiISO 1.0");
  module_.clearFailures();
  EXPECT_EQ(exchange("rb05"), "DEADBEEF");

  ASSERT_TRUE(module_.removeTag(icode.uid()));  // leaves in mid-read
  EXPECT_EQ(exchange("rb07"), "N");
  EXPECT_EQ(exchange("wb0700000000"), "N");
  EXPECT_EQ(exchange("s"), "T01020304");
  EXPECT_FALSE(module_.removeTag(icode.uid()));
}

class OldAsciiTags : public AsciiTags {
 protected:
  OldAsciiTags() : AsciiTags(AsciiModule::Version::Iso09v) {}
};

TEST_F(OldAsciiTags, BlockCommandsHaveNoLetterB) {
  module_.placeTag(tagOf("ultralight:04A1B2C3D4E5F6:CAFEF00D"));
  EXPECT_EQ(exchange("s"), "M04A1B2C3D4E5F6");
  EXPECT_EQ(exchange("r04"), "CAFEF00D");
  EXPECT_EQ(exchange("r00"), "04A1B2" + toHexText(std::vector<std::uint8_t>{0x88 ^ 0x04 ^ 0xA1 ^ 0xB2}));
  EXPECT_EQ(exchange("w0401020304"), "01020304");
  EXPECT_EQ(exchange("r04"), "01020304");
  // "rb04" reads as block B0 (which it does not have), then a stray "4".
  ASSERT_TRUE(host_.write("rb04"));
  EXPECT_EQ(host_.readUntil('\n'), "O\r\n");
  EXPECT_EQ(host_.readUntil('\n'), "?\r\n");
}

TEST_F(AsciiTags, MifareBlocksAnswerOnlyInTheOneSectorLoggedInWithItsKey) {
  SimTag mifare = tagOf("mifare:04A1B2C3:" + std::string(32, '1') + std::string(32, '2') + std::string(32, '3') +
                        std::string(32, '4'));
  mifare.setSectorKey(1, "FFFFFFFFFFFF");
  module_.placeTag(mifare);
  EXPECT_EQ(exchange("s"), "M04A1B2C3");
  EXPECT_EQ(exchange("rb04"), "F");  // not logged in
  EXPECT_EQ(exchange("l01"), "F");   // the empty key is not sector 1's
  EXPECT_EQ(exchange("l01FFFFFFFFFFFE"), "F");
  EXPECT_EQ(exchange("l01FFFFFFFFFFFF"), "L");
  EXPECT_EQ(exchange("rb04"), std::string(32, '1'));
  EXPECT_EQ(exchange("rb07"), "000000000000FF078069FFFFFFFFFFFF");  // the trailer, read when asked for
  EXPECT_EQ(exchange("rb08"), "F");                                 // sector 2
  EXPECT_EQ(exchange("wb06" + std::string(32, 'A')), std::string(32, 'A'));
  EXPECT_EQ(exchange("l02"), "L");                    // the empty key is sector 2's
  EXPECT_EQ(exchange("rb08"), std::string(32, '4'));  // block 7 was passed over
  EXPECT_EQ(exchange("rb06"), "F");                   // one sector at a time
  EXPECT_EQ(exchange("l40"), "F");                    // sectors 0 to 63
  EXPECT_EQ(exchange("rb08"), "F");                   // a refused login ends the last one
  EXPECT_EQ(exchange("l00"), "L");
  EXPECT_EQ(exchange("wb00" + std::string(32, '0')), "R");  // the manufacturer block
  EXPECT_EQ(exchange("l02"), "L");
  EXPECT_EQ(exchange("s"), "M04A1B2C3");  // selecting again logs out
  EXPECT_EQ(exchange("rb08"), "F");
  EXPECT_EQ(module_.tag(mifare.uid())->block(6), std::vector<std::uint8_t>(16, 0xAA));

  module_.clearField();
  module_.placeTag(tagOf("icode:E0040100A1B2C3D4"));
  EXPECT_EQ(exchange("s"), "IE0040100A1B2C3D4");
  EXPECT_EQ(exchange("l00"), "F");  // nothing to log in to
}

TEST_F(AsciiTags, WithoutATagSelectAnswersTheNoTagAnswerOrWaitsForTheNextTag) {
  EXPECT_EQ(exchange("s"), "N");
  EXPECT_FALSE(module_.reading());
  module_.setNoTagAnswer("F");
  EXPECT_EQ(exchange("s"), "F");

  module_.setNoTagAnswer("");
  ASSERT_TRUE(host_.write("s"));
  ASSERT_TRUE(module_.waitForFrames(3, testing::kTimeout));
  EXPECT_TRUE(module_.reading());
  SimTag tag = tagOf("iso14443b:0A0B0C0D");
  module_.placeTag(tag);
  EXPECT_EQ(host_.readUntil('\n'), "Z0A0B0C0D\r\n");
  EXPECT_FALSE(module_.reading());
  EXPECT_EQ(module_.selectedTag(), tag.uid());

  // A raw line goes before the field and selects nothing.
  module_.presentTag("M0102");
  EXPECT_EQ(exchange("s"), "M0102");
  EXPECT_EQ(exchange("rb00"), "N");
  module_.removeTag();
  EXPECT_EQ(exchange("s"), "Z0A0B0C0D");
}

}  // namespace
}  // namespace readersim
