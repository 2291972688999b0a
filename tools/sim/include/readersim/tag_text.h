// The text form of a simulated tag as people type it (reader-sim's --tag
// and "tag place", readerctl's --tag):
//
//   FAMILY:UID[:DATAHEX[:KEY]]
//
// FAMILY  a name of tagFamilyTable(), case ignored:
//           icode        1  Icode                 st               9  ISO 15693, ST
//           ultralight   2  Mifare Ultralight     philips, nxp    10  ISO 15693, Philips
//           mifare       3  Mifare (Classic)      infineon        11  ISO 15693, my-d, 4-byte blocks
//           myd          4  my-d (type A)         myd-vicinity    12  ISO 15693, my-d, 8-byte blocks
//           iso14443b,   5  ISO 14443 type B      ti              13  ISO 15693, TI
//             typeb                               em4135          14  ISO 15693, EM4135, 4-byte blocks
//           sr176        6  SR176                 infineon-em4135 15  ISO 15693, EM4135, 8-byte blocks
//           srix4k       7  SRIX4K                iso15693        16  ISO 15693, other makers
//           tagit        8  Tag-it
// UID     hexadecimal, most significant byte first, of the family's length:
//           4 bytes: iso14443b, tagit; 4 or 10: mifare; 7: ultralight;
//           8: all others. ISO 15693 UIDs carry the maker's code in byte 1:
//           st E002.., philips E004.., infineon and myd-vicinity E005..,
//           ti E007.., em4135 and infineon-em4135 E016.., iso15693 any other.
// DATAHEX hexadecimal bytes laid into memory from the family's first data
//           block on (Mifare trailers passed over): exactly what a host's
//           read with the default start gives back. Optional; may be empty.
// KEY     mifare only: the login key text of every sector, taken verbatim
//           to the end of the text (may hold ':'). Without it: the empty key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/sim_tag.h"

namespace readersim {

// The outcome of parseTag: the tag, or why the text is not one.
struct TagParse {
  std::optional<SimTag> tag;
  std::string error;  // one line; empty when tag is set

  explicit operator bool() const { return tag.has_value(); }
};

TagParse parseTag(std::string_view text);

// parseTag() for texts known to be good (tests, defaults): throws
// std::invalid_argument with the parse error otherwise.
SimTag tagOf(std::string_view text);

// "FAMILY:UID" of a tag (its memory is not part of it).
std::string formatTag(const SimTag &tag);

// A UID as typed: hexadecimal, two digits per byte, either case, at least
// one byte; nullopt otherwise.
std::optional<std::vector<std::uint8_t>> parseUid(std::string_view text);

}  // namespace readersim
