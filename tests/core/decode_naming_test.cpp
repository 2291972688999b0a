// Naming decodes: type markers to codes and names, and the trimming of the
// data, for every device kind; no data, however short or odd, reaches out of
// range.
#include "core/decode_naming.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/device_kind.h"
#include "core/reader_device.h"
#include "rfid/tag_naming.h"

using reader::ByteString;
using reader::ScanResult;
namespace Kind = reader::DeviceKind;

namespace {

class DecodeNamingTest : public ::testing::Test {
 protected:
  // Names `data` as a decode of `kind`; the code and name an earlier decode
  // left must not survive.
  ScanResult name(int kind, const ByteString &data) {
    device_.barcode.kind = kind;
    ScanResult result;
    result.code = 999;
    result.name.assign("earlier");
    result.data = data;
    if (kind == Kind::AsciiModule || kind == Kind::HexModule)
      reader::nameTag(device_.barcode, result);
    else
      reader::nameResult(device_.barcode, result);
    return result;
  }
  ScanResult name(int kind, const std::string &data) { return name(kind, ByteString::fromText(data)); }

  // A configuration block of `size` bytes, with `mask` in byte `at`.
  void setBlock(std::size_t size, std::size_t at = 0, std::uint8_t mask = 0) {
    std::vector<std::uint8_t> block(size, 0);
    if (at < size) block[at] = mask;
    device_.barcode.configBlock = ByteString::fromBytes(block);
  }

  reader::ReaderDevice device_;
};

std::string text(const ByteString &s) { return s.toString(); }

TEST_F(DecodeNamingTest, TextEngineLetterNamesTheCodeAndFourCharactersGo) {
  ScanResult r = name(Kind::TextEngine, "I000ABC");
  EXPECT_EQ(r.code, 'I');
  EXPECT_EQ(text(r.name), "Code 128");
  EXPECT_EQ(text(r.data), "ABC");
  EXPECT_EQ(text(name(Kind::TextEngine, "A00").data), "A00");  // shorter than the prefix

  for (const char *unknown : {"V000DATA",
                              "\xC9"
                              "000DATA",
                              ""}) {
    r = name(Kind::TextEngine, unknown);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(text(r.name), "unknown");  // the text engine spells it right
  }
  EXPECT_EQ(text(r.data), "");
}

struct UpcCase {
  std::string data;
  int upcAAsEan13, sendUpcACheck, sendEanCheck;
  std::uint8_t byte10;
  const char *name;
  const char *expected;
};

TEST_F(DecodeNamingTest, UpcAndEanTrimmingFollowsTheOptions) {
  const UpcCase cases[] = {
      {"P0000123456789012", 0, 0, 0, 0x00, "UPC-A", "2345678901"},  // 0, number system, check digit go
      {"P0000123456789012", 0, 0, 0, 0x01, "UPC-A", "12345678901"},
      {"P0000123456789012", 0, 0, 0, 0xFE, "UPC-A", "2345678901"},  // only bit 0 counts
      {"P0000123456789012", 0, 1, 0, 0x00, "UPC-A", "23456789012"},
      {"P0000123456789012", 1, 0, 1, 0x00, "EAN-13", "0123456789012"},
      {"P0004006381333931", 0, 0, 0, 0x00, "EAN-13", "400638133393"},
      {"P0000123456789", 0, 0, 0, 0x00, "EAN-13", "012345678"},  // 10 digits: too short for UPC-A
      {"P00001234567890", 0, 0, 0, 0x00, "UPC-A", "23456789"},
      // The check digit sits before the addon digits.
      {"Q000003600029145212", 0, 0, 0, 0x00, "UPC-A addon 2", "360002914512"},
      {"R000400638133393154321", 0, 0, 0, 0x00, "EAN-13 addon 5", "40063813339354321"},
      // ... and only at index 1 or later.
      {"P0005", 0, 0, 0, 0x00, "EAN-13", "5"},
      {"Q000123", 0, 0, 0, 0x00, "EAN-13 addon 2", "123"},
      {"R0001234567", 0, 0, 0, 0x00, "EAN-13 addon 5", "134567"},
  };
  for (const UpcCase &c : cases) {
    SCOPED_TRACE(c.data + " " + c.expected);
    device_.barcode.upcAAsEan13 = c.upcAAsEan13;
    device_.barcode.sendUpcACheckDigit = c.sendUpcACheck;
    device_.barcode.sendEan13CheckDigit = c.sendEanCheck;
    setBlock(30, 10, c.byte10);
    const ScanResult r = name(Kind::TextEngine, c.data);
    EXPECT_EQ(r.code, c.data[0]);
    EXPECT_EQ(text(r.name), c.name);
    EXPECT_EQ(text(r.data), c.expected);
  }
  setBlock(10);  // no byte 10: its bit counts as clear
  EXPECT_EQ(text(name(Kind::TextEngine, "P0000123456789012").data), "2345678901");
}

TEST_F(DecodeNamingTest, Ean128IdentifierGoesOnlyWhenTheBlockSaysSo) {
  setBlock(30, 22, 0x20);
  const ScanResult r = name(Kind::TextEngine, "U000]C10101234");
  EXPECT_EQ(text(r.name), "EAN-128");
  EXPECT_EQ(text(r.data), "0101234");
  EXPECT_EQ(text(name(Kind::TextEngine, "U000]C2X").data), "]C2X");
  EXPECT_EQ(text(name(Kind::TextEngine, "I000]C1X").data), "]C1X");  // Code 128 keeps it
  setBlock(30, 22, 0xDF);
  EXPECT_EQ(text(name(Kind::TextEngine, "U000]C1X").data), "]C1X");
  setBlock(22);
  EXPECT_EQ(text(name(Kind::TextEngine, "U000]C1X").data), "]C1X");
}

TEST_F(DecodeNamingTest, SsiTypeByteNamesTheCodeAndUnknownTypesAreUnkonwn) {
  ScanResult r = name(Kind::SsiEngine4, ByteString::fromBytes({0x0B, '1', '2'}));
  EXPECT_EQ(r.code, 11);
  EXPECT_EQ(text(r.name), "EAN13");
  EXPECT_EQ(text(r.data), "12");
  EXPECT_EQ(text(name(Kind::SsiEngine3, ByteString::fromBytes({144})).name), "UPC-E1 with 5 Digits Addenda");
  for (std::uint8_t type : {0, 13, 91, 105, 145, 0x99, 255}) {
    r = name(Kind::SsiEngine3, ByteString::fromBytes({type, 'A'}));
    EXPECT_EQ(r.code, 0) << int{type};
    EXPECT_EQ(text(r.name), "unkonwn") << int{type};
    EXPECT_EQ(text(r.data), "A") << int{type};
  }
  EXPECT_EQ(text(name(Kind::SsiEngine3, "").name), "unkonwn");
}

TEST_F(DecodeNamingTest, AsciiModuleFamilyLetterUidLengthAndManufacturerCode) {
  const std::tuple<std::string, int, const char *> cases[] = {
      {"I0102030405060708", 1, "Icode"},
      {"M04112233445566", 2, "ISO14443 Type A, Mifare Ultralight"},  // 14 digits
      {"M0411223344556677", 4, "ISO 14443 Type A, Infineon SLE55Rxx, my-d IC"},
      {"M11223344", 3, "ISO14443 Type A, Mifare family"},
      {"SD002AABB", 6, "ISO14443 Type B, SR176"},
      {"Z50AABBCC", 5, "ISO14443, Type B"},
      {"VE004010203", 10, "ISO15693, Philips Semiconductors"},
      {"VE016AA", 14, "ISO15693, EM Microelectronic-Marin SA, EM_4135"},
      {"V04AA", 16, "ISO15693"},  // the code is at characters 3 and 4, not 1 and 2
      {"X1234", 0, "unkonwn"},
  };
  for (const auto &[line, code, expected] : cases) {
    const ScanResult r = name(Kind::AsciiModule, line);
    EXPECT_EQ(r.code, code) << line;
    EXPECT_EQ(text(r.name), expected) << line;
    EXPECT_EQ(text(r.data), line.substr(1)) << line;
  }
  // Too short for a manufacturer code: no family, the line stays whole.
  const ScanResult r = name(Kind::AsciiModule, "VE00");
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.name.empty());
  EXPECT_EQ(text(r.data), "VE00");
}

TEST_F(DecodeNamingTest, HexModuleNamesTheSelectedProtocolAndKeepsTheData) {
  const std::pair<int, const char *> cases[] = {{8, "Tagit"}, {3, "ISO14443 Type A, Mifare family"}, {1, "unkonwn"}};
  for (auto [selector, expected] : cases) {
    device_.barcode.protocolSelector = selector;
    const ScanResult r = name(Kind::HexModule, "M0411");
    EXPECT_EQ(r.code, selector);
    EXPECT_EQ(text(r.name), expected);
    EXPECT_EQ(text(r.data), "M0411");
  }
}

// Random data, blocks and options: the sanitizers watch every access, and
// the data never grows.
TEST_F(DecodeNamingTest, AnyDataIsSafeForEveryKind) {
  std::mt19937 random(20240611);
  const std::string likely = "0123456789PQRUVMI]C\x99";
  for (int round = 0; round < 4000; ++round) {
    std::vector<std::uint8_t> bytes(random() % 24);
    for (auto &b : bytes) b = static_cast<std::uint8_t>(random() % 2 ? likely[random() % likely.size()] : random());
    setBlock(random() % 32, 22, static_cast<std::uint8_t>(random()));
    device_.barcode.upcAAsEan13 = static_cast<int>(random() % 2);
    device_.barcode.sendUpcACheckDigit = static_cast<int>(random() % 2);
    device_.barcode.sendEan13CheckDigit = static_cast<int>(random() % 2);
    device_.barcode.protocolSelector = static_cast<int>(random() % 20);
    const ScanResult r = name(static_cast<int>(random() % 7), ByteString::fromBytes(bytes));
    ASSERT_LE(r.data.length(), bytes.size());
    ASSERT_NE(r.code, 999);
  }
}

}  // namespace
