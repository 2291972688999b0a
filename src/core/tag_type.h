// TagType: the code 1 to 16 of an RFID tag family, kept in the RFID
// channel's ScanResult, and the readable name of each family.
#pragma once

namespace reader {

namespace TagType {
inline constexpr int None = 0;
inline constexpr int Icode = 1;
inline constexpr int MifareUltralight = 2;
inline constexpr int MifareFamily = 3;  // ISO 14443 type A
inline constexpr int MyDIso14443 = 4;
inline constexpr int Iso14443B = 5;
inline constexpr int Sr176 = 6;
inline constexpr int Srix4k = 7;  // refined from Sr176 by the block size
inline constexpr int Tagit = 8;
inline constexpr int Iso15693St = 9;
inline constexpr int Iso15693Philips = 10;
inline constexpr int Iso15693Infineon = 11;
inline constexpr int Iso15693InfineonMyD = 12;  // refined from Iso15693Infineon
inline constexpr int Iso15693Ti = 13;
inline constexpr int Iso15693Em = 14;
inline constexpr int Iso15693Em4135 = 15;  // refined from Iso15693Em
inline constexpr int Iso15693 = 16;
}  // namespace TagType

// The family's name ("Tagit", "ISO15693", ...); null for a code that names
// no family.
const char *tagTypeName(int tagType);

}  // namespace reader
