#include "core/tag_type.h"

namespace reader {

namespace {

// Indexed by TagType.
constexpr const char *kTagTypeNames[] = {
    nullptr,
    "Icode",
    "ISO14443 Type A, Mifare Ultralight",
    "ISO14443 Type A, Mifare family",
    "ISO 14443 Type A, Infineon SLE55Rxx, my-d IC",
    "ISO14443, Type B",
    "ISO14443 Type B, SR176",
    "ISO14443 Type B, SRIX4K",
    "Tagit",
    "ISO15693, ST Microelectronics",
    "ISO15693, Philips Semiconductors",
    "ISO15693, Infineon Technologies AG, my-d_IC(SRF55VxxP)",
    "ISO15693 Infineon SRF55VxxP, my-d IC",
    "ISO15693, Texas Instrument",
    "ISO15693, EM Microelectronic-Marin SA, EM_4135",
    "ISO15693 Infineon EM4135",
    "ISO15693",
};

constexpr int kTagTypeCount = static_cast<int>(sizeof kTagTypeNames / sizeof kTagTypeNames[0]);
static_assert(kTagTypeCount == TagType::Iso15693 + 1);

}  // namespace

const char *tagTypeName(int tagType) {
  return tagType >= 0 && tagType < kTagTypeCount ? kTagTypeNames[tagType] : nullptr;
}

}  // namespace reader
