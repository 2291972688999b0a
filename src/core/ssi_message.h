// The SSI engines' host messages: length, opcode, source, status, data. The
// length byte counts the message without its checksum, which the command
// transport appends. Every SSI message the library sends is built here.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/byte_string.h"

namespace reader::ssi {

inline constexpr std::uint8_t kSourceHost = 0x04;
inline constexpr std::uint8_t kSourceEngine = 0x00;
inline constexpr std::uint8_t kStatusPermanent = 0x08;  // a parameter send the engine keeps
inline constexpr std::uint8_t kNoBeep = 0xFF;           // a parameter send's beep code

inline constexpr std::uint8_t kAck = 0xD0;
inline constexpr std::uint8_t kNak = 0xD1;
inline constexpr std::uint8_t kRevisionRequest = 0xA3;
inline constexpr std::uint8_t kAimOff = 0xC4;
inline constexpr std::uint8_t kAimOn = 0xC5;
inline constexpr std::uint8_t kParamSend = 0xC6;
inline constexpr std::uint8_t kParamRequest = 0xC7;
inline constexpr std::uint8_t kSetDefaults = 0xC8;
inline constexpr std::uint8_t kStartDecode = 0xE4;
inline constexpr std::uint8_t kStopDecode = 0xE5;

// A host message with its length byte set; more data may be appended, then
// setLength called again.
inline ByteString hostMessage(std::uint8_t opcode, std::uint8_t status = 0,
                              std::initializer_list<std::uint8_t> data = {}) {
  ByteString message = ByteString::fromBytes({0, opcode, kSourceHost, status});
  for (std::uint8_t byte : data) message.append(byte);
  message.setAt(static_cast<std::int16_t>(message.length()), 0);
  return message;
}

// A parameter send (kept by the engine, no beep) with its parameter/value
// bytes.
inline ByteString parameterSend(std::initializer_list<std::uint8_t> pairs = {}) {
  ByteString message = hostMessage(kParamSend, kStatusPermanent, {kNoBeep});
  for (std::uint8_t byte : pairs) message.append(byte);
  message.setAt(static_cast<std::int16_t>(message.length()), 0);
  return message;
}

// Sets the length byte after data was appended.
inline void setLength(ByteString &message) { message.setAt(static_cast<std::int16_t>(message.length()), 0); }

}  // namespace reader::ssi
