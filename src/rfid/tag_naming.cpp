#include "rfid/tag_naming.h"

#include <cstdint>

#include "core/decode_naming.h"
#include "core/device_kind.h"
#include "core/tag_type.h"

namespace reader {

namespace {

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
  result.name.assign(name != nullptr ? name : kUnknownTypeName);
  line.eraseRange(0, 1);
}

void nameHexModule(const DeviceChannel &channel, ScanResult &result) {
  const int selector = channel.protocolSelector;
  result.code = selector;
  result.name.assign(kUnknownTypeName);
  for (int family : kHexModuleFamilies)
    if (family == selector) result.name.assign(tagTypeName(family));
}

}  // namespace

void nameTag(const DeviceChannel &channel, ScanResult &result) {
  result.code = 0;
  result.name.reset();
  switch (channel.kind) {
    case DeviceKind::AsciiModule: nameAsciiModule(result); break;
    case DeviceKind::HexModule: nameHexModule(channel, result); break;
    default: break;
  }
}

}  // namespace reader
