// The RFID tag families the simulated modules know, one per TagType (1 to
// 16), and what each looks like to a module: the kind-5 tag-line letter, the
// ISO 15693 manufacturer code, the memory geometry and the air protocol a
// kind-6 module finds it with.
//
// TagTypes 7, 12 and 15 have no line of their own: the host tells them from
// 6, 11 and 14 by the size of block 0 (SRIX4K answers 4 bytes where SR176
// answers 2; the 8-byte my-d and EM4135 variants answer 8 where the others
// answer 4). Their rows differ from their siblings' only in the geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace readersim {

// Named after what the host calls them; the value is the TagType.
enum class TagFamily {
  Icode = 1,
  MifareUltralight = 2,
  Mifare = 3,
  MyD = 4,
  Iso14443B = 5,
  Sr176 = 6,
  Srix4k = 7,
  TagIt = 8,
  StVicinity = 9,
  PhilipsVicinity = 10,
  InfineonVicinity = 11,
  MyDVicinity = 12,
  TiVicinity = 13,
  Em4135 = 14,
  InfineonEm4135 = 15,
  Iso15693 = 16,
};

// The air protocols of a kind-6 module, numbered by the TagType of their
// family (the host's protocol selector).
enum class AirProtocol { None = 0, Iso14443A = 3, Iso14443B = 5, TagIt = 8, Iso15693 = 16 };

struct TagFamilyInfo {
  TagFamily family;
  std::string_view name;      // as typed in "FAMILY:UID" (see tag_text.h)
  std::string_view alias;     // a second accepted name, or empty
  std::string_view typeName;  // the host's name of the TagType, for people
  char letter;                // first character of the kind-5 tag line
  // ISO 15693 only: UID byte 1, which the host reads as characters 3 and 4
  // of the tag line. Iso15693 takes any code but these.
  std::optional<std::uint8_t> manufacturerCode;
  std::size_t blockSize;
  int blockCount;      // enough to hold the last block the host may address
  int firstDataBlock;  // where the host's reads start by default
  // UID lengths in bytes the family may have; the kind-5 line of a type A
  // tag tells Ultralight (7), my-d (8) and Mifare (others) by its length.
  std::size_t uidLengths[2];
  AirProtocol protocol;  // None: a kind-6 module does not see it
  // Type A only: the SAK byte after the UID in a kind-6 detection answer.
  std::uint8_t sak;
};

std::span<const TagFamilyInfo> tagFamilyTable();
const TagFamilyInfo &familyInfo(TagFamily family);
// By name or alias, ignoring case; nullopt for anything else.
std::optional<TagFamily> findTagFamily(std::string_view name);
// The 4-byte-block family a host names by this ISO 15693 manufacturer code;
// nullopt when it names none (the host then says Iso15693).
std::optional<TagFamily> familyOfManufacturerCode(std::uint8_t code);

}  // namespace readersim
