#include "core/byte_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/hex_text.h"
#include "core/ssi_checksum.h"

using reader::ByteString;

namespace {

ByteString text(const char *s) { return ByteString::fromText(s); }

}  // namespace

TEST(ByteString, GrowsByDoublingAndShrinksOnPopBack) {
  ByteString s;
  EXPECT_EQ(s.length(), 0u);
  EXPECT_EQ(s.wideData()[0], 0);
  EXPECT_EQ(ByteString(10).capacity(), 11u);

  for (int i = 0; i < 31; ++i) s.append('x');
  EXPECT_EQ(s.capacity(), 32u);  // count 32 = capacity: full, not yet grown
  s.append('y');
  EXPECT_EQ(s.capacity(), 64u);
  EXPECT_EQ(s.length(), 32u);
  EXPECT_EQ(s.at(32u), 0);

  ByteString ab = text("AB");
  ab.popBack();
  EXPECT_TRUE(ab.equals("A"));
  EXPECT_EQ(ab.capacity(), 2u);
  ab.append('Z');  // grows again from the shrunk buffer
  EXPECT_TRUE(ab.equals("AZ"));
}

TEST(ByteString, GrowsLinearlyPastSixtyFourThousandElements) {
  ByteString s;
  s.append(ByteString::fromText(std::string(70000, 'q')));
  EXPECT_EQ(s.length(), 70000u);
  EXPECT_GT(s.capacity(), 70000u);
  EXPECT_EQ(s.capacity() % 1000u, 65536u % 1000u);  // doubled to 65536, then +1000 steps
  EXPECT_EQ(s.at(69999u), 'q');
  EXPECT_EQ(s.at(70000u), 0);
}

TEST(ByteString, ComparisonsTreatEightBitTextAsSignExtended) {
  ByteString empty;
  EXPECT_TRUE(empty.equals(""));
  EXPECT_FALSE(empty.equals(nullptr));

  ByteString high = text("\xE9t\xE9");
  EXPECT_EQ(high.at(0u), -23);
  EXPECT_TRUE(high.equals("\xE9t\xE9"));
  EXPECT_TRUE(high.startsWith("\xE9t"));
  EXPECT_EQ(high.toBytes()[0], 233u);

  ByteString abc = text("ABCDEF");
  EXPECT_TRUE(abc.startsWith(""));
  EXPECT_FALSE(abc.startsWith(nullptr));
  EXPECT_FALSE(abc.startsWith("ABCDEFG"));
  EXPECT_FALSE(abc.equals("ABCDE"));
}

TEST(ByteString, IndexOperationsStayInsideTheBuffer) {
  ByteString s = text("ABCDEF");
  EXPECT_EQ(s.at(6u), 0);
  EXPECT_EQ(s.at(11u), 0);
  EXPECT_EQ(s.at(-1), 'A');
  s.setAt('z', 6);  // the terminator cannot be overwritten
  s.setAt('z', -1);
  EXPECT_TRUE(s.equals("ABCDEF"));
  s.setAt('z', 5);
  EXPECT_TRUE(s.equals("ABCDEz"));

  ByteString out;
  text("ABCDEF").copyRange(1, 3, out);
  EXPECT_TRUE(out.equals("BCD"));
  text("ABCDEF").copyRange(2, 0xFFFFFFFFu, out);
  EXPECT_TRUE(out.equals("CDEF"));

  ByteString e = text("ABCDEF");
  EXPECT_EQ(e.eraseRange(2, 100), 2u);
  EXPECT_TRUE(e.equals("AB"));
  ByteString f = text("ABCDEF");
  EXPECT_EQ(f.eraseRange(1, 2), 4u);
  EXPECT_TRUE(f.equals("ADEF"));
  EXPECT_EQ(f.eraseRange(4, 1), 4u);
}

TEST(ByteString, FindsTextsAndCharacters) {
  ByteString s = text("ABCDEF");
  std::uint32_t at = 99;
  EXPECT_TRUE(s.find(0, "CD", at));
  EXPECT_EQ(at, 2u);
  EXPECT_FALSE(s.find(3, "CD", at));
  EXPECT_FALSE(s.find(0, "", at));
  EXPECT_FALSE(s.find(0, nullptr, at));
  EXPECT_FALSE(s.find(5, "F?", at));  // would run past the end

  EXPECT_TRUE(s.findChar('D', at, 0, 0));
  EXPECT_EQ(at, 3u);
  EXPECT_FALSE(s.findChar('A', at, 1, 0));
  EXPECT_EQ(at, 0u);
  EXPECT_TRUE(s.findChar(0, at, 1000, 1));  // backward from beyond the end
  EXPECT_EQ(at, 6u);
  EXPECT_TRUE(s.findChar('B', at, 4, 1));
  EXPECT_EQ(at, 1u);
}

TEST(ByteString, AppendsAndAssignsFromItself) {
  ByteString s = text("abc");
  s.append(s);
  EXPECT_TRUE(s.equals("abcabc"));
  s.assign(s);
  EXPECT_TRUE(s.equals("abcabc"));
  s.copyRange(1, 2, s);
  EXPECT_TRUE(s.equals("bc"));
}

TEST(ByteString, FormatsTheLibrarysFormats) {
  ByteString s;
  s.format("%04d", 7);
  EXPECT_TRUE(s.equals("0007"));
  s.format("%c", 13);
  ASSERT_EQ(s.length(), 1u);
  EXPECT_EQ(s.at(0u), 13);
  s.format("COM%d:", 3);
  EXPECT_TRUE(s.equals("COM3:"));
  s.format("l%02x%s", 10, "KEY");
  EXPECT_TRUE(s.equals("l0aKEY"));
  s.format("%02X", 0xAB);
  EXPECT_TRUE(s.equals("AB"));
  s.format("The RFID scanner fails, error code = %d", 30008);
  EXPECT_TRUE(s.equals("The RFID scanner fails, error code = 30008"));
  s.format("%c", 0);
  EXPECT_EQ(s.length(), 1u);
}

TEST(ByteString, FormatNeverOverrunsAFieldOrReadsArgumentsItWasNotGiven) {
  ByteString s;
  // A width far beyond the field is cut, not written past it.
  s.format("%500d|", 1);
  EXPECT_EQ(s.length(), 100u);
  EXPECT_EQ(s.at(99u), '|');
  // Length letters and '*' are dropped so only the given int is read.
  s.format("%ld-%*d", 5, 6);
  EXPECT_TRUE(s.equals("5-6"));
  // A format that ends inside a directive drops it.
  s.format("ab%0");
  EXPECT_TRUE(s.equals("ab"));
  s.format("");
  EXPECT_TRUE(s.empty());
}

TEST(ByteString, FormatTakesADoublePercentAsOnePercentSign) {
  ByteString s;
  // The character after "%%" is text, never a conversion with no argument.
  s.format("%%d");
  EXPECT_TRUE(s.equals("%d"));
  s.format("%d%%", 50);
  EXPECT_TRUE(s.equals("50%"));
  s.format("%%%s%%%%%c", "x", 'y');
  EXPECT_TRUE(s.equals("%x%%y"));
}

TEST(HexText, ConvertsBothWaysWithoutValidating) {
  ByteString out;
  reader::fromHexText(text("0a1B"), out);
  EXPECT_EQ(out.toBytes(), (std::vector<std::uint8_t>{0x0A, 0x1B}));
  reader::fromHexText(text("ABC"), out);
  EXPECT_EQ(out.toBytes(), (std::vector<std::uint8_t>{0xAB, 0xC0}));
  reader::fromHexText(text(""), out);
  EXPECT_TRUE(out.empty());
  reader::fromHexText(text("\xFF\xFF"), out);  // garbage still gives a byte
  EXPECT_EQ(out.length(), 1u);

  ByteString hex;
  reader::toHexText(ByteString::fromBytes({0x00, 0x7F, 0xFF}), hex);
  EXPECT_TRUE(hex.equals("007FFF"));
}

TEST(SsiChecksum, IsTheTwosComplementOfTheByteSum) {
  ByteString start = ByteString::fromBytes({0x04, 0xE4, 0x04, 0x00});
  reader::appendSsiChecksum(start);
  EXPECT_EQ(start.toBytes(), (std::vector<std::uint8_t>{0x04, 0xE4, 0x04, 0x00, 0xFF, 0x14}));
  ByteString empty;
  reader::appendSsiChecksum(empty);
  EXPECT_EQ(empty.toBytes(), (std::vector<std::uint8_t>{0x00, 0x00}));
  // Appended to a packet, the checksum brings the whole sum to zero.
  ByteString any = ByteString::fromBytes({0x13, 0xC6, 0x04, 0x08, 0xFF, 0x9C, 0x0B});
  reader::appendSsiChecksum(any);
  std::uint16_t total = 0;
  for (std::uint32_t i = 0; i + 2 < any.length(); ++i) total = static_cast<std::uint16_t>(total + any.byteAt(i));
  total = static_cast<std::uint16_t>(total + ((any.byteAt(any.length() - 2) << 8) | any.byteAt(any.length() - 1)));
  EXPECT_EQ(total, 0);
}
