#include "core/decode_naming.h"

#include <cstdint>
#include <cstring>

#include "core/device_kind.h"
#include "core/reader_device.h"
#include "core/tag_type.h"

namespace reader {

namespace {

// The text engine says "unknown"; the SSI engines and the RFID modules have
// always reported their unknown types as "unkonwn", and applications compare
// against that text.
constexpr const char *kTextEngineUnknown = "unknown";
constexpr const char *kUnknown = "unkonwn";

// ---- Text engine ----------------------------------------------------------

// Every decode starts with the type letter and three further characters.
constexpr std::uint32_t kTextEnginePrefix = 4;

// A UPC-A code arrives as a 13-digit EAN-13 code with a leading 0; shorter
// data is not taken for one.
constexpr std::uint32_t kUpcAMinLength = 11;

// One bit of the configuration block.
struct ConfigBit {
  std::uint32_t byte;
  std::uint8_t mask;
};
constexpr ConfigBit kUpcAKeepsNumberSystem{10, 0x01};  // keep the digit after the leading 0
constexpr ConfigBit kEan128StripsIdentifier{22, 0x20};  // drop a leading "]C1"

constexpr const char *kEan128Identifier = "]C1";

struct TextEngineType {
  char letter;
  const char *name;  // for the UPC-A / EAN-13 family: the UPC-A name
  // Set for the UPC-A / EAN-13 family: the EAN-13 name, and where the check
  // digit sits (index length - checkDigitFromEnd).
  const char *ean13Name = nullptr;
  int checkDigitFromEnd = 0;
};

constexpr TextEngineType kTextEngineTypes[] = {
    {'A', "Code 39"},
    {'B', "Italian Pharma"},
    {'C', "French Pharma"},
    {'D', "Industrial 2/5"},
    {'E', "Interleave 2/5"},
    {'F', "Matrix 25"},
    {'G', "Codabar"},
    {'H', "Code 93"},
    {'I', "Code 128"},
    {'J', "UPCE"},
    {'K', "UPCE addon 2"},
    {'L', "UPCE addon 5"},
    {'M', "EAN-8"},
    {'N', "EAN-8 addon 2"},
    {'O', "EAN-8 addon 5"},
    {'P', "UPC-A", "EAN-13", 1},
    {'Q', "UPC-A addon 2", "EAN-13 addon 2", 3},
    {'R', "UPC-A addon 5", "EAN-13 addon 5", 6},
    {'S', "MSI"},
    {'T', "Plessey"},
    {'U', "EAN-128"},
    {'Z', "Telepen"},
    {'[', "RSS14"},
};
constexpr int kEan128Letter = 'U';

// ---- SSI engines ------------------------------------------------------------

struct SsiType {
  int number;
  const char *name;
};

constexpr SsiType kSsiTypes[] = {
    {1, "Code 39"},
    {2, "Codabar"},
    {3, "Code 128"},
    {4, "Discrete 2 of 5"},
    {5, "IATA25"},
    {6, "Interleave 2/5"},
    {7, "Code 93"},
    {8, "UPC-A"},
    {9, "UPC-E0"},
    {10, "EAN8"},
    {11, "EAN13"},
    {12, "Code 11"},
    {14, "MSI"},
    {15, "EAN 128"},
    {16, "UPC-E1"},
    {17, "PDF417"},
    {19, "Code 39 Full ASCII"},
    {21, "Trioptic Code 39"},
    {22, "Bookland"},
    {23, "Coupon Code"},
    {25, "ISBT 128"},
    {26, "Micro PDF"},
    {27, "Data Matrix"},
    {28, "QR Code"},
    {30, "US Postnet"},
    {31, "US Planet"},
    {32, "Code 32"},
    {33, "ISBT-128"},
    {34, "Japan Postal"},
    {35, "Australian Postal"},
    {36, "Dutch Postal"},
    {37, "Maxicode"},
    {38, "Postbar (CA)"},
    {39, "UK Postal"},
    {40, "Macro PDF"},
    {48, "RSS14"},
    {49, "RSS Limited"},
    {50, "RSS Expanded"},
    {51, "Parameter (FNC3)"},
    {55, "Scanlet Webcode"},
    {56, "Cue CAT Code"},
    {72, "UPC-A with 2 Digits Addenda"},
    {73, "UPC-E0 with 2 Digits Addenda"},
    {74, "EAN8 with 2 Digits Addenda"},
    {75, "EAN13 with 2 Digits Addenda"},
    {80, "UPC-E1 with 2 Digits Addenda"},
    {81, "Composite CC-A + EAN128"},
    {82, "Composite CC-A + EAN13"},
    {83, "Composite CC-A + EAN8"},
    {84, "Composite CC-A + RSS Expanded"},
    {85, "Composite CC-A + RSS Limited"},
    {86, "Composite CC-A + RSS14"},
    {87, "Composite CC-A + UPC-A"},
    {88, "Composite CC-A + UPC-E"},
    {89, "Composite CC-C + EAN128"},
    {90, "TLC-39"},
    {97, "Composite CC-B + EAN128"},
    {98, "Composite CC-B + EAN13"},
    {99, "Composite CC-B + EAN8"},
    {100, "Composite CC-B + RSS Expanded"},
    {101, "Composite CC-B + RSS Limited"},
    {102, "Composite CC-B + RSS14"},
    {103, "Composite CC-B + UPC-A"},
    {104, "Composite CC-B + UPC-E"},
    {136, "UPC-A with 5 Digits Addenda"},
    {137, "UPC-E0 with 5 Digits Addenda"},
    {138, "EAN8 with 5 Digits Addenda"},
    {139, "EAN13 with 5 Digits Addenda"},
    {144, "UPC-E1 with 5 Digits Addenda"},
};

// ---- ASCII RFID module ------------------------------------------------------

// The identification line: the family letter, then the UID. A letter whose
// family needs more than the letter is refined below.
struct AsciiModuleFamily {
  char letter;
  int tagType;
};
constexpr AsciiModuleFamily kAsciiModuleFamilies[] = {
    {'I', TagType::Icode},
    {'M', TagType::MifareFamily},
    {'S', TagType::Sr176},
    {'T', TagType::Tagit},
    {'V', TagType::Iso15693},
    {'Z', TagType::Iso14443B},
};

// ISO 14443 type A: the UID length tells the product apart.
struct UidLengthFamily {
  std::uint32_t uidLength;
  int tagType;
};
constexpr char kIso14443ALetter = 'M';
constexpr UidLengthFamily kIso14443AByUidLength[] = {
    {14, TagType::MifareUltralight},
    {16, TagType::MyDIso14443},
};

// ISO 15693: the manufacturer code at characters 3 and 4 of the line.
struct ManufacturerFamily {
  const char *code;
  int tagType;
};
constexpr char kIso15693Letter = 'V';
constexpr std::uint32_t kManufacturerCodeAt = 3;
constexpr ManufacturerFamily kIso15693ByManufacturer[] = {
    {"02", TagType::Iso15693St},
    {"04", TagType::Iso15693Philips},
    {"05", TagType::Iso15693Infineon},
    {"07", TagType::Iso15693Ti},
    {"16", TagType::Iso15693Em},
};

// ---- Hex-frame RFID module ----------------------------------------------------

// The module reports no family; the protocol it was set to names the tag.
constexpr int kHexModuleFamilies[] = {TagType::MifareFamily, TagType::Iso14443B, TagType::Tagit,
                                      TagType::Iso15693};

// ---- Interpreters -------------------------------------------------------------

bool configBitSet(const ByteString &block, ConfigBit bit) {
  // A block too short to hold the byte has the bit clear.
  return bit.byte < block.length() && (block.byteAt(bit.byte) & bit.mask) != 0;
}

void removeAt(ByteString &data, std::int64_t index) {
  if (index >= 1 && index < static_cast<std::int64_t>(data.length()))
    data.eraseRange(static_cast<std::uint32_t>(index), 1);
}

const TextEngineType *findTextEngineType(int letter) {
  for (const TextEngineType &type : kTextEngineTypes)
    if (type.letter == letter) return &type;
  return nullptr;
}

void nameUpcEan(const DeviceChannel &channel, const TextEngineType &type, ScanResult &result) {
  const ReaderDevice &device = channel.device;
  ByteString &data = result.data;
  const bool upcA = data.startsWith("0") && data.length() >= kUpcAMinLength && device.upcAAsEan13 == 0;
  bool sendCheckDigit;
  if (upcA) {
    data.eraseRange(0, 1);
    if (!configBitSet(channel.configBlock, kUpcAKeepsNumberSystem)) data.eraseRange(0, 1);
    result.name.assign(type.name);
    sendCheckDigit = device.sendUpcACheckDigit != 0;
  } else {
    result.name.assign(type.ean13Name);
    sendCheckDigit = device.sendEan13CheckDigit != 0;
  }
  if (!sendCheckDigit) removeAt(data, static_cast<std::int64_t>(data.length()) - type.checkDigitFromEnd);
}

void nameTextEngine(const DeviceChannel &channel, ScanResult &result) {
  ByteString &data = result.data;
  const int letter = data.byteAt(0);
  if (data.length() >= kTextEnginePrefix) data.eraseRange(0, kTextEnginePrefix);
  const TextEngineType *type = findTextEngineType(letter);
  if (type == nullptr) {
    result.name.assign(kTextEngineUnknown);
    return;
  }
  result.code = letter;
  if (type->ean13Name != nullptr) {
    nameUpcEan(channel, *type, result);
    return;
  }
  result.name.assign(type->name);
  if (letter == kEan128Letter && configBitSet(channel.configBlock, kEan128StripsIdentifier) &&
      data.startsWith(kEan128Identifier))
    data.eraseRange(0, static_cast<std::uint32_t>(std::strlen(kEan128Identifier)));
}

void nameSsiEngine(ScanResult &result) {
  const int number = result.data.byteAt(0);
  result.name.assign(kUnknown);
  for (const SsiType &type : kSsiTypes) {
    if (type.number == number) {
      result.code = number;
      result.name.assign(type.name);
      break;
    }
  }
  result.data.eraseRange(0, 1);
}

int iso14443AFamily(std::uint32_t uidLength) {
  for (const UidLengthFamily &family : kIso14443AByUidLength)
    if (family.uidLength == uidLength) return family.tagType;
  return TagType::MifareFamily;
}

int iso15693Family(const ByteString &line) {
  for (const ManufacturerFamily &family : kIso15693ByManufacturer)
    if (line.byteAt(kManufacturerCodeAt) == family.code[0] && line.byteAt(kManufacturerCodeAt + 1) == family.code[1])
      return family.tagType;
  return TagType::Iso15693;
}

void nameAsciiModule(ScanResult &result) {
  ByteString &line = result.data;
  const int letter = line.byteAt(0);
  // Too short to carry a manufacturer code: no family, and the line is kept.
  if (letter == kIso15693Letter && line.length() < kManufacturerCodeAt + 2) return;
  int tagType = TagType::None;
  for (const AsciiModuleFamily &family : kAsciiModuleFamilies)
    if (family.letter == letter) tagType = family.tagType;
  if (letter == kIso14443ALetter) tagType = iso14443AFamily(line.length() - 1);
  if (letter == kIso15693Letter) tagType = iso15693Family(line);
  const char *name = tagTypeName(tagType);
  result.code = name != nullptr ? tagType : TagType::None;
  result.name.assign(name != nullptr ? name : kUnknown);
  line.eraseRange(0, 1);
}

void nameHexModule(const DeviceChannel &channel, ScanResult &result) {
  const int selector = channel.protocolSelector;
  result.code = selector;
  result.name.assign(kUnknown);
  for (int family : kHexModuleFamilies)
    if (family == selector) result.name.assign(tagTypeName(family));
}

}  // namespace

void nameResult(const DeviceChannel &channel, ScanResult &result) {
  result.code = 0;
  result.name.reset();
  switch (channel.kind) {
    case DeviceKind::TextEngine: nameTextEngine(channel, result); break;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: nameSsiEngine(result); break;
    case DeviceKind::AsciiModule: nameAsciiModule(result); break;
    case DeviceKind::HexModule: nameHexModule(channel, result); break;
    default: break;
  }
}

}  // namespace reader
