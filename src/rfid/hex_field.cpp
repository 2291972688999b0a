#include "rfid/hex_field.h"

namespace reader {

namespace {

int hexDigitValue(std::int16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool isHexText(const ByteString &text) {
  for (std::uint32_t i = 0; i < text.length(); ++i)
    if (hexDigitValue(text.at(i)) < 0) return false;
  return !text.empty();
}

bool decodeHexField(const ByteString &text, ByteString &bytes) {
  ByteString decoded;
  const std::uint32_t n = text.length();
  bool ok = n % 2 == 0;
  for (std::uint32_t i = 0; ok && i < n; i += 2) {
    const int high = hexDigitValue(text.at(i));
    const int low = hexDigitValue(text.at(i + 1));
    ok = high >= 0 && low >= 0;
    if (ok) decoded.append(static_cast<std::int16_t>(high * 16 + low));
  }
  if (!ok) decoded.reset();
  bytes = std::move(decoded);
  return ok;
}

}  // namespace reader
