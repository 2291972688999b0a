#include "rfid/ascii_module_commands.h"

#include "core/hex_text.h"

namespace reader {

namespace {

// The "ISO 0.9v" module knows only the short block commands.
constexpr int kShortCommandVariant = 0;

ByteString numbered(const char *format, int number) {
  ByteString command;
  command.format(format, number);
  return command;
}

}  // namespace

ByteString sectorLoginCommand(int sector, const ByteString &key) {
  ByteString command = numbered("l%02x", sector);
  for (std::uint32_t i = 0; i < key.length(); ++i) command.append(static_cast<std::int16_t>(key.byteAt(i)));
  return command;
}

ByteString blockReadCommand(int moduleVariant, int block) {
  return numbered(moduleVariant == kShortCommandVariant ? "r%02x" : "rb%02x", block);
}

ByteString blockWriteCommand(int moduleVariant, int block, const ByteString &blockBytes) {
  ByteString command = numbered(moduleVariant == kShortCommandVariant ? "w%02x" : "wb%02x", block);
  ByteString hex;
  toHexText(blockBytes, hex);
  command.append(hex);
  return command;
}

}  // namespace reader
