#include "readersim/tag_family.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace readersim {
namespace {

using F = TagFamily;
using P = AirProtocol;

// Block counts reach the last block the host may address (Tag-it: the 8
// blocks of a Tag-it HF tag, which the detection answer reports); SR176 has
// its real 16 blocks of 2 bytes.
// clang-format off
constexpr TagFamilyInfo kFamilies[] = {
    // family, name, alias, type name, letter, code, block size, count, first data block, UID lengths, protocol, SAK
    {F::Icode, "icode", "", "Icode", 'I', std::nullopt, 4, 16, 5, {8, 8}, P::None, 0},
    {F::MifareUltralight, "ultralight", "", "ISO14443 Type A, Mifare Ultralight", 'M', std::nullopt, 4, 16, 4, {7, 7},
     P::Iso14443A, 0x00},
    {F::Mifare, "mifare", "", "ISO14443 Type A, Mifare family", 'M', std::nullopt, 16, 256, 4, {4, 10}, P::Iso14443A,
     0x08},
    {F::MyD, "myd", "", "ISO 14443 Type A, Infineon SLE55Rxx, my-d IC", 'M', std::nullopt, 8, 256, 4, {8, 8},
     P::Iso14443A, 0x88},
    {F::Iso14443B, "iso14443b", "typeb", "ISO14443, Type B", 'Z', std::nullopt, 4, 256, 0, {4, 4}, P::Iso14443B, 0},
    {F::Sr176, "sr176", "", "ISO14443 Type B, SR176", 'S', std::nullopt, 2, 16, 4, {8, 8}, P::None, 0},
    {F::Srix4k, "srix4k", "", "ISO14443 Type B, SRIX4K", 'S', std::nullopt, 4, 128, 7, {8, 8}, P::None, 0},
    {F::TagIt, "tagit", "", "Tagit", 'T', std::nullopt, 4, 8, 0, {4, 4}, P::TagIt, 0},
    {F::StVicinity, "st", "", "ISO15693, ST Microelectronics", 'V', 0x02, 4, 64, 0, {8, 8}, P::Iso15693, 0},
    {F::PhilipsVicinity, "philips", "nxp", "ISO15693, Philips Semiconductors", 'V', 0x04, 4, 64, 0, {8, 8},
     P::Iso15693, 0},
    {F::InfineonVicinity, "infineon", "", "ISO15693, Infineon Technologies AG, my-d_IC(SRF55VxxP)", 'V', 0x05, 4, 64,
     0, {8, 8}, P::Iso15693, 0},
    {F::MyDVicinity, "myd-vicinity", "", "ISO15693 Infineon SRF55VxxP, my-d IC", 'V', 0x05, 8, 128, 3, {8, 8},
     P::Iso15693, 0},
    {F::TiVicinity, "ti", "", "ISO15693, Texas Instrument", 'V', 0x07, 4, 64, 0, {8, 8}, P::Iso15693, 0},
    {F::Em4135, "em4135", "", "ISO15693, EM Microelectronic-Marin SA, EM_4135", 'V', 0x16, 4, 64, 0, {8, 8},
     P::Iso15693, 0},
    {F::InfineonEm4135, "infineon-em4135", "", "ISO15693 Infineon EM4135", 'V', 0x16, 8, 36, 0, {8, 8}, P::Iso15693,
     0},
    {F::Iso15693, "iso15693", "", "ISO15693", 'V', std::nullopt, 4, 64, 0, {8, 8}, P::Iso15693, 0},
};
// clang-format on

bool sameName(std::string_view typed, std::string_view name) {
  return !name.empty() && typed.size() == name.size() &&
         std::equal(typed.begin(), typed.end(), name.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

std::span<const TagFamilyInfo> tagFamilyTable() { return kFamilies; }

const TagFamilyInfo &familyInfo(TagFamily family) {
  for (const TagFamilyInfo &info : kFamilies) {
    if (info.family == family) return info;
  }
  throw std::invalid_argument("no such tag family");
}

std::optional<TagFamily> findTagFamily(std::string_view name) {
  for (const TagFamilyInfo &info : kFamilies) {
    if (sameName(name, info.name) || sameName(name, info.alias)) return info.family;
  }
  return std::nullopt;
}

std::optional<TagFamily> familyOfManufacturerCode(std::uint8_t code) {
  for (const TagFamilyInfo &info : kFamilies) {
    if (info.manufacturerCode == code && info.blockSize == 4) return info.family;
  }
  return std::nullopt;
}

}  // namespace readersim
