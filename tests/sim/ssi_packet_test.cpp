#include "readersim/ssi_packet.h"

#include <gtest/gtest.h>

#include <vector>

namespace readersim::ssi {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SsiPacket, ChecksumIsTheNegatedSixteenBitSumHighByteFirst) {
  EXPECT_EQ(checksum(Bytes{0x04, 0xE4, 0x04, 0x00}), (std::array<std::uint8_t, 2>{0xFF, 0x14}));
  EXPECT_EQ(checksum(Bytes{}), (std::array<std::uint8_t, 2>{0x00, 0x00}));
  // The sum wraps at 16 bits.
  Bytes many(258, 0xFF);
  std::uint16_t sum = static_cast<std::uint16_t>(258 * 0xFF);
  auto expected = static_cast<std::uint16_t>(-sum);
  EXPECT_EQ(checksum(many), (std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(expected >> 8),
                                                        static_cast<std::uint8_t>(expected & 0xFF)}));
}

TEST(SsiPacket, MakeAndParseRoundTrip) {
  Bytes data{0xFF, 0x9C, 0x0B};
  auto packet = makePacket(kOpcodeParamSend, kSourceHost, 0x08, data);
  EXPECT_EQ(packet, (Bytes{0x07, 0xC6, 0x04, 0x08, 0xFF, 0x9C, 0x0B, 0xFD, 0x81}));
  auto parsed = parsePacket(packet);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, (Packet{kOpcodeParamSend, kSourceHost, 0x08, data}));
}

TEST(SsiPacket, ParseRejectsWhatDoesNotFrame) {
  auto good = makePacket(kOpcodeAck, kSourceEngine, 0);
  auto badSum = good;
  badSum.back() ^= 1;
  EXPECT_FALSE(parsePacket(badSum));
  EXPECT_FALSE(checksumValid(badSum));
  auto cut = good;
  cut.pop_back();
  EXPECT_FALSE(parsePacket(cut));
  // A length byte below 4 leaves no room for the header.
  Bytes tiny{0x02, 0x00};
  auto sum = checksum(tiny);
  tiny.insert(tiny.end(), sum.begin(), sum.end());
  EXPECT_TRUE(checksumValid(tiny));
  EXPECT_FALSE(parsePacket(tiny));
}

}  // namespace
}  // namespace readersim::ssi
