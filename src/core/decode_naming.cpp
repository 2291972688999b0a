#include "core/decode_naming.h"

#include <cstdint>
#include <cstring>

#include "core/device_kind.h"
#include "core/reader_device.h"
#include "core/symbology_table.h"
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

using symbology::TextEngineType;

constexpr int kEan128Letter = 'U';

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
  const TextEngineType *type = symbology::textEngineType(letter);
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
  if (const symbology::SsiType *type = symbology::ssiType(number)) {
    result.code = number;
    result.name.assign(type->name);
  } else {
    result.name.assign(kUnknown);
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
