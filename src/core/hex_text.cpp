#include "core/hex_text.h"

namespace reader {

namespace {

int digitValue(std::int16_t c) {
  if (c <= '9') return c - '0';
  if (c <= 'F') return c - 55;
  return c - 87;
}

}  // namespace

void toHexText(const ByteString &bytes, ByteString &out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  ByteString text;
  for (std::uint32_t i = 0; i < bytes.length(); ++i) {
    const std::uint8_t b = bytes.byteAt(i);
    text.append(kDigits[b >> 4]);
    text.append(kDigits[b & 0x0F]);
  }
  out = std::move(text);
}

void fromHexText(const ByteString &text, ByteString &out) {
  ByteString bytes;
  const std::uint32_t n = text.length();
  for (std::uint32_t i = 0; i < n; i += 2) {
    int value = digitValue(text.at(i)) * 16;
    if (i + 1 < n) value += digitValue(text.at(i + 1));
    bytes.append(static_cast<std::int16_t>(value & 0xFF));
  }
  out = std::move(bytes);
}

}  // namespace reader
