// The fixed frames of the hex-frame RFID module, as the hexadecimal text that
// goes on the wire: 01, the total length, 00 03 04, the command, its
// parameters, 00 00.
#pragma once

namespace reader::HexModuleFrame {

inline constexpr const char *Probe = "0108000304FE0000";
inline constexpr const char *SetupFirst = "0109000304F0000000";
inline constexpr const char *SetupSecond = "0109000304F1FF0000";

// Each tag family the module reads, by its selector (the tag type code of
// the family): the frame that selects its air protocol, and the frame that
// looks for a tag of that family (the answer reports it).
struct Family {
  int selector;
  const char *select;
  const char *detect;
};

inline constexpr Family kFamilies[] = {
    {3, "010C00030410002101090000", "0109000304A0010000"},       // ISO 14443 A
    {5, "010C000304100021010C0000", "0109000304B0040000"},       // ISO 14443 B
    {8, "010C00030410002101130000", "010B000304340050000000"},   // Tag-it
    {16, "010C00030410002101000000", "010B000304140401000000"},  // ISO 15693
};

// The family of a selector; nullptr for one the module has not.
constexpr const Family *family(int selector) {
  for (const Family &f : kFamilies)
    if (f.selector == selector) return &f;
  return nullptr;
}

}  // namespace reader::HexModuleFrame
