// Hexadecimal text both ways: any text decodes without fault, and bytes
// survive the trip through their text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/byte_string.h"
#include "core/hex_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const reader::ByteString input = reader::ByteString::fromBytes(std::vector<std::uint8_t>(data, data + size));

  reader::ByteString decoded;
  reader::fromHexText(input, decoded);
  if (decoded.length() != (input.length() + 1) / 2) std::abort();

  reader::ByteString text, back;
  reader::toHexText(input, text);
  reader::fromHexText(text, back);
  if (back.length() != input.length()) std::abort();
  for (std::uint32_t i = 0; i < input.length(); ++i)
    if (back.byteAt(i) != input.byteAt(i)) std::abort();
  return 0;
}
