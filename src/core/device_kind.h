// The kinds of device a channel can carry.
#pragma once

namespace reader {

// The integer kind of the device on a channel; 0 means no device.
namespace DeviceKind {
inline constexpr int None = 0;
inline constexpr int TextEngine = 2;   // text commands, one configuration block
inline constexpr int SsiEngine3 = 3;   // SSI packets, variant 3
inline constexpr int SsiEngine4 = 4;   // SSI packets, variant 4
inline constexpr int AsciiModule = 5;  // RFID module with line-oriented ASCII commands
inline constexpr int HexModule = 6;    // RFID module with hexadecimal-text frames
}  // namespace DeviceKind

inline bool isSsiKind(int kind) { return kind == DeviceKind::SsiEngine3 || kind == DeviceKind::SsiEngine4; }

// The two devices, as the open and close operations number them.
inline constexpr int kBarcodeDevice = 1;
inline constexpr int kRfidDevice = 2;

}  // namespace reader
