// The kind-6 module's tags: detection by the selected protocol, answers
// read back with the host's field rules, Tag-it and ISO 15693 block frames.
#include <gtest/gtest.h>

#include "host_port.h"
#include "host_tag_parsing.h"
#include "readersim/hex_module.h"
#include "readersim/hex_tag_answers.h"
#include "readersim/tag_text.h"

namespace readersim {
namespace {

using testing::answerPayload;
using testing::answerUid;
using testing::moduleFrame;
using Protocol = HexModule::Protocol;

struct ProtocolFrames {
  Protocol protocol;
  std::string_view select;
  std::string_view detect;
};
constexpr ProtocolFrames kProtocols[] = {
    {Protocol::Iso14443A, HexModule::kSelectIso14443A, HexModule::kDetectIso14443A},
    {Protocol::Iso14443B, HexModule::kSelectIso14443B, HexModule::kDetectIso14443B},
    {Protocol::TagIt, HexModule::kSelectTagIt, HexModule::kDetectTagIt},
    {Protocol::Iso15693, HexModule::kSelectIso15693, HexModule::kDetectIso15693},
};

int selector(Protocol protocol) { return static_cast<int>(protocol); }

std::string tagitRead(int block) { return moduleFrame({0x18, 0x00, 0x08, static_cast<std::uint8_t>(block)}); }
std::string vicinityRead(int block) { return moduleFrame({0x18, 0x00, 0x20, static_cast<std::uint8_t>(block)}); }
std::string vicinityReadTwo(int block) {
  return moduleFrame({0x18, 0x00, 0x23, static_cast<std::uint8_t>(block), 0x01});
}
std::string writeFrame(std::uint8_t operation, int block, std::vector<std::uint8_t> data) {
  std::vector<std::uint8_t> request{0x18, 0x00, operation, static_cast<std::uint8_t>(block)};
  request.insert(request.end(), data.begin(), data.end());
  return moduleFrame(request);
}

class HexTags : public ::testing::Test {
 protected:
  HexTags() : host_(module_.portPath(), HexModule::kSpeed) {}

  // One frame and its answer, without the line end.
  std::string exchange(std::string_view frame) {
    EXPECT_TRUE(host_.write(frame));
    std::string answer = host_.readUntil('\n');
    EXPECT_TRUE(answer.ends_with("\r\n")) << frame << " -> " << answer;
    return answer.substr(0, answer.size() >= 2 ? answer.size() - 2 : 0);
  }

  HexModule module_;
  testing::HostPort host_;
};

TEST_F(HexTags, DetectionFindsATagOnlyWhenItsProtocolIsSelectedAndTheHostReadsItsUid) {
  const std::pair<Protocol, SimTag> tags[] = {
      {Protocol::Iso14443A, tagOf("mifare:04A1B2C3")},
      {Protocol::Iso14443B, tagOf("iso14443b:0A0B0C0D")},
      {Protocol::TagIt, tagOf("tagit:11223344")},
      {Protocol::Iso15693, tagOf("philips:E004010012345678")},
  };
  // Before any tag, and for the tags' own protocols while another is
  // selected: answers the host finds no UID in.
  for (const ProtocolFrames &frames : kProtocols) {
    EXPECT_EQ(exchange(frames.select), "[00]");
    for (const ProtocolFrames &other : kProtocols) {
      EXPECT_FALSE(answerPayload(selector(other.protocol), exchange(other.detect))) << selector(other.protocol);
    }
  }
  module_.placeTag(tagOf("icode:E0040100A1B2C3D4"));  // no kind-6 protocol sees it
  for (const auto &[protocol, tag] : tags) module_.placeTag(tag);
  for (const ProtocolFrames &frames : kProtocols) {
    EXPECT_EQ(exchange(frames.select), "[00]");
    EXPECT_EQ(module_.selectedProtocol(), frames.protocol);
    for (const ProtocolFrames &other : kProtocols) {
      std::string answer = exchange(other.detect);
      auto uid = answerUid(selector(other.protocol), answer);
      if (other.protocol != frames.protocol) {
        EXPECT_FALSE(uid) << selector(frames.protocol) << " selected, " << answer;
        continue;
      }
      const SimTag &expected = std::find_if(std::begin(tags), std::end(tags), [&](const auto &t) {
                                 return t.first == frames.protocol;
                               })->second;
      // The host keeps an ISO 15693 tag's flags byte, last once reversed.
      EXPECT_EQ(uid, expected.uidText() + (frames.protocol == Protocol::Iso15693 ? "00" : "")) << answer;
    }
  }
  // The first type A tag placed answers; Ultralight and my-d are type A too.
  module_.clearField();
  module_.placeTag(tagOf("ultralight:04A1B2C3D4E5F6"));
  module_.placeTag(tagOf("mifare:04A1B2C3"));
  EXPECT_EQ(exchange(HexModule::kSelectIso14443A), "[00]");
  EXPECT_EQ(answerUid(3, exchange(HexModule::kDetectIso14443A)), "04A1B2C3D4E5F6");
}

TEST_F(HexTags, TagitBlocksTravelShiftedByTwoBitsAndTheCountsStopTheHostAtTheLastBlock) {
  // Every byte value at every position comes back through the host's
  // realignment.
  for (int value = 0; value < 256; ++value) {
    for (std::size_t at = 0; at < 4; ++at) {
      std::array<std::uint8_t, 4> block{0x5A, 0xA5, 0x0F, 0xF0};
      block[at] = static_cast<std::uint8_t>(value);
      auto field = *answerPayload(8, tagitReadAnswer(3, block));
      ASSERT_EQ(testing::realignTagitBlock(field), std::vector<std::uint8_t>(block.begin(), block.end())) << field;
    }
  }

  SimTag tag = tagOf("tagit:11223344:000102030405060708090A0B0C0D0E0F10111213");
  tag.setBlockCount(5);
  tag.setTagitInfo(0x2C);
  module_.placeTag(tag);
  EXPECT_EQ(exchange(HexModule::kSelectTagIt), "[00]");
  std::string detection = exchange(HexModule::kDetectTagIt);
  EXPECT_EQ(answerUid(8, detection), "11223344");
  EXPECT_EQ(testing::tagitCounts(*answerPayload(8, detection)), std::pair(0x2C, 5));

  for (int block = 0; block < 5; ++block) {
    auto field = answerPayload(8, exchange(tagitRead(block)));
    ASSERT_TRUE(field) << block;
    EXPECT_EQ(testing::realignTagitBlock(*field), *tag.block(block)) << block;
  }
  EXPECT_FALSE(answerPayload(8, exchange(tagitRead(5))));  // past the last block: no answer from the tag
  EXPECT_EQ(exchange(writeFrame(0x28, 2, {0xC0, 0xFF, 0xEE, 0x03})), "[00]");
  EXPECT_EQ(testing::realignTagitBlock(*answerPayload(8, exchange(tagitRead(2)))),
            (std::vector<std::uint8_t>{0xC0, 0xFF, 0xEE, 0x03}));
  EXPECT_EQ(module_.tag(tag.uid())->block(2), (std::vector<std::uint8_t>{0xC0, 0xFF, 0xEE, 0x03}));

  // ISO 15693 frames are not Tag-it ones.
  EXPECT_FALSE(answerPayload(16, exchange(vicinityRead(0))));
}

TEST_F(HexTags, Iso15693AnswersCarryTheResponseFlagsFirstAndTheInventoryUsesTheCommaForms) {
  SimTag tag = tagOf("ti:E007000012345672:00112233445566778899AABB");
  module_.placeTag(tag);
  EXPECT_EQ(exchange(HexModule::kSelectIso15693), "[00]");
  std::string inventory = exchange(HexModule::kDetectIso15693);
  // Slot 2 by the UID's last byte; flags 00, then the UID backwards.
  EXPECT_EQ(inventory, "[,][,][0072563412000007E0,][,][,][,][,][,][,][,][,][,][,][,][,][,]");
  EXPECT_EQ(answerUid(16, inventory), "E00700001234567200");

  auto read = [&](const std::string &frame) { return testing::vicinityData(exchange(frame)); };
  EXPECT_EQ(read(vicinityRead(1)), (std::vector<std::uint8_t>{0x44, 0x55, 0x66, 0x77}));
  EXPECT_EQ(read(vicinityReadTwo(1)), (std::vector<std::uint8_t>{0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}));
  EXPECT_EQ(exchange(writeFrame(0x21, 3, {1, 2, 3, 4})), "[00]");
  EXPECT_EQ(read(vicinityRead(3)), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(module_.tag(tag.uid())->block(3), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  // Errors as a tag gives them: flags 01 and a code.
  EXPECT_EQ(exchange(vicinityRead(64)), "[0110]");
  EXPECT_EQ(exchange(vicinityReadTwo(63)), "[0110]");
  EXPECT_EQ(exchange(writeFrame(0x21, 3, {1, 2})), "[010F]");
  tag.setReadOnly(3);
  tag.setResponseFlags(0x08);
  module_.placeTag(tag);  // in place of itself
  EXPECT_EQ(exchange(writeFrame(0x21, 3, {9, 9, 9, 9})), "[0112]");
  EXPECT_EQ(exchange(vicinityRead(0)), "[0800112233]");

  // Two tags in other slots: the host takes the first slot's; two in one
  // slot collide and the host finds nothing it can decode there.
  module_.placeTag(tagOf("st:E002000000000010"));
  EXPECT_EQ(answerUid(16, exchange(HexModule::kDetectIso15693)), "E00200000000001000");
  module_.placeTag(tagOf("iso15693:E0AA000000000000"));
  std::string collided = exchange(HexModule::kDetectIso15693);
  EXPECT_TRUE(collided.starts_with("[z,]")) << collided;
  EXPECT_FALSE(answerUid(16, collided));
}

TEST_F(HexTags, FailuresOnDemandAndATagLeavingMidReadGiveSilenceGarbageOrNoTag) {
  SimTag tag = tagOf("iso15693:E0AA000000000001");
  module_.placeTag(tag);
  EXPECT_EQ(exchange(HexModule::kSelectIso15693), "[00]");
  module_.failBlockRead(2, "", 1);
  module_.failNext("010b00030418002005", "[zz!", 1);  // block 5, by a prefix in either case
  ASSERT_TRUE(host_.write(vicinityReadTwo(1)));       // blocks 1 and 2: no answer
  EXPECT_EQ(exchange(vicinityRead(3)), "[0000000000]");
  EXPECT_EQ(exchange(vicinityRead(5)), "[zz!");
  EXPECT_EQ(exchange(vicinityReadTwo(1)), "[000000000000000000]");  // used up

  module_.removeTag(tag.uid());
  EXPECT_FALSE(testing::vicinityData(exchange(vicinityRead(3))));
  EXPECT_FALSE(answerUid(16, exchange(HexModule::kDetectIso15693)));
  EXPECT_EQ(exchange(writeFrame(0x21, 3, {1, 2, 3, 4})), "[,]");
}

}  // namespace
}  // namespace readersim
