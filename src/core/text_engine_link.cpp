// The text-command engine's link: commands framed by a wake-up preamble,
// ESC and CR, "NG" for a refusal, "VER" to find it, "ON" and "OFF" to scan,
// and a decode line that starts with its type letter.
#include <cstdint>
#include <cstring>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/decode_naming.h"
#include "core/frame_reader.h"
#include "core/hex_text.h"
#include "core/link_protocol.h"
#include "core/scan_state.h"
#include "core/serial_channel.h"
#include "core/symbology_table.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;
constexpr int kCommandTimeoutMs = 1000;
constexpr int kTextEnginePreamble = 30;  // 0xFF bytes that wake the engine

// The engine's answer when a scan ended without a decode.
constexpr const char *kNoDecode = "*000";

// The text engine says "unknown" where the others say "unkonwn".
constexpr const char *kUnknownName = "unknown";

// Every decode starts with the type letter and three further characters.
constexpr std::uint32_t kPrefix = 4;

// A UPC-A code arrives as a 13-digit EAN-13 code with a leading 0; shorter
// data is not taken for one.
constexpr std::uint32_t kUpcAMinLength = 11;

// One bit of the configuration block.
struct ConfigBit {
  std::uint32_t byte;
  std::uint8_t mask;
};
constexpr ConfigBit kUpcAKeepsNumberSystem{10, 0x01};   // keep the digit after the leading 0
constexpr ConfigBit kEan128StripsIdentifier{22, 0x20};  // drop a leading "]C1"

constexpr const char *kEan128Identifier = "]C1";
constexpr int kEan128Letter = 'U';

using symbology::TextEngineType;

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kCr = 0x0D;
// The configuration block as hexadecimal text.
constexpr std::uint32_t kLongestAnswer = 1024;

bool readLinkFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool decode,
                   const WaitCancel *cancel) {
  // Only a decode may be long: a barcode can hold any amount of data.
  FrameReader reader(lock, firstByteTimeoutMs, kInterByteGapMs, decode ? kLongestDecode : kLongestAnswer, 1, cancel);
  // A first byte ESC is not part of the text.
  return readTerminatedFrame(lock, reader, out, kCr, [](std::uint8_t b, bool first) { return !(first && b == kEsc); });
}

ByteString wrap(const ByteString &command) {
  ByteString frame;
  for (int i = 0; i < kTextEnginePreamble; ++i) frame.append(0xFF);
  frame.append(0x1B);
  frame.append(command);
  frame.append(0x0D);
  return frame;
}

bool refused(const ByteString &answer) { return answer.equals("NG"); }

bool probe(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  ByteString answer;
  if (!sendCommand(lock, "VER", kProbeTimeoutMs, &answer, 1)) return false;
  // The text engine's RTS line stays on from now on.
  if (auto port = channel.port.get()) port->setRts(true);
  return true;
}

bool scan(const PortLock &lock, bool on, const WaitCancel *) {
  DeviceChannel &channel = lock.channel();
  return switched(channel, sendCommand(lock, on ? "ON" : "OFF", kCommandTimeoutMs, nullptr, 0), on ? 1 : 0);
}

bool configBitSet(const ByteString &block, ConfigBit bit) {
  // A block too short to hold the byte has the bit clear.
  return bit.byte < block.length() && (block.byteAt(bit.byte) & bit.mask) != 0;
}

void removeAt(ByteString &data, std::int64_t index) {
  if (index >= 1 && index < static_cast<std::int64_t>(data.length()))
    data.eraseRange(static_cast<std::uint32_t>(index), 1);
}

void nameUpcEan(const DeviceChannel &channel, const TextEngineType &type, ScanResult &result) {
  ByteString &data = result.data;
  const bool upcA = data.startsWith("0") && data.length() >= kUpcAMinLength && channel.upcAAsEan13 == 0;
  bool sendCheckDigit;
  if (upcA) {
    data.eraseRange(0, 1);
    if (!configBitSet(channel.configBlock, kUpcAKeepsNumberSystem)) data.eraseRange(0, 1);
    result.name.assign(type.name);
    sendCheckDigit = channel.sendUpcACheckDigit != 0;
  } else {
    result.name.assign(type.ean13Name);
    sendCheckDigit = channel.sendEan13CheckDigit != 0;
  }
  if (!sendCheckDigit) removeAt(data, static_cast<std::int64_t>(data.length()) - type.checkDigitFromEnd);
}

void name(const DeviceChannel &channel, ScanResult &result) {
  ByteString &data = result.data;
  const int letter = data.byteAt(0);
  if (data.length() >= kPrefix) data.eraseRange(0, kPrefix);
  const TextEngineType *type = symbology::textEngineType(letter);
  if (type == nullptr) {
    result.name.assign(kUnknownName);
    return;
  }
  result.code = letter;
  if (type->ean13Name != nullptr) {
    nameUpcEan(channel, *type, result);
    return;
  }
  result.name.assign(type->name);
  if (letter == kEan128Letter && configBitSet(channel.configBlock, kEan128StripsIdentifier) &&
      data.startsWith(kEan128Identifier))
    data.eraseRange(0, static_cast<std::uint32_t>(std::strlen(kEan128Identifier)));
}

bool readDecode(const PortLock &lock, ScanResult &out, int timeoutMs, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  // A decode, not a command's answer: it may be long.
  if (!readFrame(lock, out.data, timeoutMs, true, cancel)) return false;
  if (out.data.equals(kNoDecode)) {
    out.data.reset();
    channel.lastError = ChannelError::NoDecode;
    return false;
  }
  name(channel, out);
  return true;
}

bool triggersItself(const DeviceChannel &channel) { return isSelfTriggeredMode(channel.triggerMode); }

void readConfiguration(const PortLock &lock, ByteString &out) {
  ByteString answer;
  if (sendCommand(lock, "SET", kProbeTimeoutMs, &answer, 1)) fromHexText(answer, out);
}

}  // namespace

constinit const LinkProtocol kTextEngineLink = {
    .workingSpeed = 115200,
    .foundAt9600 = false,
    .readFrame = readLinkFrame,
    .longestAnswer = kLongestAnswer,
    .probe = probe,
    .switchSpeed = noSpeedToSwitch,
    .wrap = wrap,
    .write = writeFrame,
    .refused = refused,
    .answerTimeoutMs = 1000,
    .scan = scan,
    .readDecode = readDecode,
    .acknowledgeDecode = nullptr,
    .triggersItself = triggersItself,
    .filtersCode128 = true,
    .name = name,
    .readConfiguration = readConfiguration,
};

}  // namespace reader
