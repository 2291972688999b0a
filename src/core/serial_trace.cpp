#include "core/serial_trace.h"

#include <cstdio>
#include <string>

#include "platform/serial_port.h"
#include "platform/trace.h"

namespace reader {

namespace {

std::string portName(const DeviceChannel &channel) { return "COM" + std::to_string(channel.portNumber.load()); }

}  // namespace

void traceFrame(const DeviceChannel &channel, char direction, const ByteString &bytes, bool complete) {
  if (!platform::traceEnabled()) return;
  std::string line = portName(channel);
  line += ' ';
  line += direction;
  if (!complete) line += " (incomplete)";
  std::string text;
  bool printable = bytes.length() > 0;
  for (std::uint32_t i = 0; i < bytes.length(); ++i) {
    const std::uint8_t b = bytes.byteAt(i);
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    line += hex;
    if (b >= 0x20 && b < 0x7F) {
      text += static_cast<char>(b);
    } else if (b != 0xFF && b != 0x1B && b != 0x0D && b != 0x0A) {
      printable = false;
    }
  }
  if (printable && !text.empty()) line += "  \"" + text + "\"";
  platform::traceLine(line.c_str());
}

void traceEvent(const DeviceChannel &channel, const char *what) {
  if (!platform::traceEnabled()) return;
  const std::string line = portName(channel) + ' ' + what;
  platform::traceLine(line.c_str());
}

void traceSpeed(const DeviceChannel &channel, int bitsPerSecond) {
  if (!platform::traceEnabled()) return;
  const std::string line = portName(channel) + " speed " + std::to_string(bitsPerSecond);
  platform::traceLine(line.c_str());
}

void traceOpenFailure(const DeviceChannel &channel) {
  if (!platform::traceEnabled()) return;
  const std::string description = platform::SerialPort::lastOpenFailure(channel.portNumber.load());
  if (description.empty()) return;
  const std::string line = portName(channel) + " open failed: " + description;
  platform::traceLine(line.c_str());
}

}  // namespace reader
