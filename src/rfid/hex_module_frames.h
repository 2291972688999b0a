// The fixed frames of the hex-frame RFID module, as the hexadecimal text that
// goes on the wire: 01, the total length, 00 03 04, the command, its
// parameters, 00 00.
#pragma once

namespace reader::HexModuleFrame {

inline constexpr const char *Probe = "0108000304FE0000";
inline constexpr const char *SetupFirst = "0109000304F0000000";
inline constexpr const char *SetupSecond = "0109000304F1FF0000";

// Air-protocol selection, by tag family (the tag type code of the family).
inline constexpr const char *SelectIso14443A = "010C00030410002101090000";  // 3
inline constexpr const char *SelectIso14443B = "010C000304100021010C0000";  // 5
inline constexpr const char *SelectTagit = "010C00030410002101130000";      // 8
inline constexpr const char *SelectIso15693 = "010C00030410002101000000";   // 16

// Looking for a tag of the selected family; the answer reports it.
inline constexpr const char *DetectIso14443A = "0109000304A0010000";      // 3
inline constexpr const char *DetectIso14443B = "0109000304B0040000";      // 5
inline constexpr const char *DetectTagit = "010B000304340050000000";      // 8
inline constexpr const char *DetectIso15693 = "010B000304140401000000";   // 16

}  // namespace reader::HexModuleFrame
