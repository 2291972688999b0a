// Reasons a channel operation failed, kept in a channel's lastError beside
// the system's own error codes, and the result codes of the open routine.
#pragma once

#include <cstdint>

namespace reader::ChannelError {

inline constexpr std::uint32_t NoDecode = 30001;       // text engine answered "*000"
inline constexpr std::uint32_t NoTag = 30002;          // RFID: empty answer, "N", unparsable
inline constexpr std::uint32_t ModuleF = 30003;        // ASCII module answered "F"
inline constexpr std::uint32_t ModuleO = 30004;        // ASCII module answered "O"
inline constexpr std::uint32_t ModuleR = 30005;        // ASCII module answered "R"
inline constexpr std::uint32_t AlreadyOpen = 30006;    // open: a port was already open
inline constexpr std::uint32_t BarcodeFailed = 30007;  // open: engine fitted, not answering
inline constexpr std::uint32_t RfidFailed = 30008;     // open: module fitted, not answering
inline constexpr std::uint32_t BothFailed = 30009;     // open: both fitted, neither answering
inline constexpr std::uint32_t ModuleOther = 30010;    // ASCII module: other letter, or "?"
// A tag's block answered with another length than its block size: its bytes
// would not sit at their own addresses, so none of them are used.
inline constexpr std::uint32_t WrongBlockLength = 30011;

}  // namespace reader::ChannelError
