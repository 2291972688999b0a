// The terminal's identity: its fitted hardware, serial number and model.
//
// Required of every backend. The POSIX backend reads them from the
// environment, else the terminal's configuration file: READER_HW_INFO
// (hardware text), READER_SERIAL_NUMBER, READER_MODEL.
#pragma once

#include <cstddef>
#include <cstdint>

namespace reader::platform {

// Device-information selectors.
inline constexpr std::uint32_t kInfoSerialNumber = 225;    // the serial number text
inline constexpr std::uint32_t kInfoFittedHardware = 226;  // engine and module text

// Asks the platform for the device information of `selector` as an 8-bit
// text, written into `out` (zero-filled by the caller, `size` bytes; at most
// size - 1 characters are written, so the text stays terminated). false when
// the platform does not know it (`out` stays zero).
bool queryDeviceInformation(std::uint32_t selector, char *out, std::size_t size);

// Reads the model description (the value "Desc" under the key "Ident") as an
// 8-bit text into `out`, `size` bytes, terminated. false when the key or the
// value is missing.
bool readModelDescription(char *out, std::size_t size);

}  // namespace reader::platform
