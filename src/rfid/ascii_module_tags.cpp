// The ASCII RFID module's tag protocol: its port is open only while it
// reads ("s" starts a read, the port's close ends it), a tag comes as one
// line (its family letter and UID), blocks are read and written with text
// commands, and a status letter tells a failure.
#include <cstdint>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/decode_naming.h"
#include "core/hex_text.h"
#include "core/serial_channel.h"
#include "core/tag_type.h"
#include "platform/clock.h"
#include "rfid/ascii_module_commands.h"
#include "rfid/hex_field.h"
#include "rfid/module_status.h"
#include "rfid/tag_data_read.h"
#include "rfid/tag_detection.h"
#include "rfid/tag_protocol.h"

namespace reader {

namespace {

constexpr int kCommandTimeoutMs = 1000;
constexpr std::uint32_t kModuleWakeMs = 100;
// A tag comes as one line, its family letter and the UID in hexadecimal, and
// a failure as one status letter.
constexpr int kTagWaitMs = 3000;
constexpr int kBlockTimeoutMs = 1000;
constexpr int kReadAttempts = 2;
constexpr int kWriteAttempts = 3;

bool prepare(const PortLock &) { return true; }

bool switchOn(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  if (!openPort(lock)) return false;
  if (!setBaud(lock, channel.baudRate)) {
    closePort(lock);
    return false;
  }
  platform::sleepMs(kModuleWakeMs);
  if (sendCommand(lock, "s", kCommandTimeoutMs, nullptr, 0)) {
    channel.scanOn = 1;
    return true;
  }
  closePort(lock);
  return false;
}

bool switchReading(const PortLock &lock, bool on) {
  DeviceChannel &channel = lock.channel();
  if (on) return switchOn(lock);
  channel.scanOn = 0;
  closePort(lock);
  return true;
}

// The identification line: the family letter, then the UID. A letter whose
// family needs more than the letter is refined below.
struct AsciiModuleFamily {
  char letter;
  int tagType;
};
constexpr AsciiModuleFamily kAsciiModuleFamilies[] = {
    {'I', TagType::Icode}, {'M', TagType::MifareFamily}, {'S', TagType::Sr176},
    {'T', TagType::Tagit}, {'V', TagType::Iso15693},     {'Z', TagType::Iso14443B},
};

// ISO 14443 type A: the UID length tells the product apart.
struct UidLengthFamily {
  std::uint32_t uidLength;
  int tagType;
};
constexpr char kIso14443ALetter = 'M';
constexpr UidLengthFamily kIso14443AByUidLength[] = {
    {14, TagType::MifareUltralight},
    {16, TagType::MyDIso14443},
};

// ISO 15693: the manufacturer code at characters 3 and 4 of the line.
struct ManufacturerFamily {
  const char *code;
  int tagType;
};
constexpr char kIso15693Letter = 'V';
constexpr std::uint32_t kManufacturerCodeAt = 3;
constexpr ManufacturerFamily kIso15693ByManufacturer[] = {
    {"02", TagType::Iso15693St}, {"04", TagType::Iso15693Philips}, {"05", TagType::Iso15693Infineon},
    {"07", TagType::Iso15693Ti}, {"16", TagType::Iso15693Em},
};

int iso14443AFamily(std::uint32_t uidLength) {
  for (const UidLengthFamily &family : kIso14443AByUidLength)
    if (family.uidLength == uidLength) return family.tagType;
  return TagType::MifareFamily;
}

int iso15693Family(const ByteString &line) {
  for (const ManufacturerFamily &family : kIso15693ByManufacturer)
    if (line.byteAt(kManufacturerCodeAt) == family.code[0] && line.byteAt(kManufacturerCodeAt + 1) == family.code[1])
      return family.tagType;
  return TagType::Iso15693;
}

void nameAsciiModule(ScanResult &result) {
  ByteString &line = result.data;
  const int letter = line.byteAt(0);
  // Too short to carry a manufacturer code: no family, and the line is kept.
  if (letter == kIso15693Letter && line.length() < kManufacturerCodeAt + 2) return;
  int tagType = TagType::None;
  for (const AsciiModuleFamily &family : kAsciiModuleFamilies)
    if (family.letter == letter) tagType = family.tagType;
  if (letter == kIso14443ALetter) tagType = iso14443AFamily(line.length() - 1);
  if (letter == kIso15693Letter) tagType = iso15693Family(line);
  const char *name = tagTypeName(tagType);
  result.code = name != nullptr ? tagType : TagType::None;
  result.name.assign(name != nullptr ? name : kUnknownTypeName);
  line.eraseRange(0, 1);
}

void name(const DeviceChannel &, ScanResult &result) { nameAsciiModule(result); }

bool readModuleTag(const PortLock &lock, ScanResult &out, const TagRequest &request, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  if (!readFrame(lock, out.data, kTagWaitMs, false, cancel)) return false;
  if (out.data.empty()) return noTag(channel, out);
  if (out.data.length() == 1) {
    const std::uint32_t status = moduleStatusError(out.data);
    channel.lastError = status != 0 ? status : ChannelError::ModuleOther;
    return false;
  }
  // A line whose rest is not a UID is noise, not a tag.
  ByteString uid;
  out.data.copyRange(1, out.data.length() - 1, uid);
  if (!isHexText(uid)) return noTag(channel, out);
  nameAsciiModule(out);
  // An ISO 15693 line too short for its maker's code is named by no family
  // and keeps its letter: a garbled line, never a tag with that UID.
  if (!isHexText(out.data)) return noTag(channel, out);
  readTagData(lock, out, request);
  return true;
}

bool cycle(const PortLock &lock, ScanResult &out, const TagRequest &request, bool &wrongBlockLength) {
  DeviceChannel &channel = lock.channel();
  ScanResult candidate;
  if (!detectTag(lock, candidate, request, wrongBlockLength)) return false;
  acceptTag(channel, candidate, out);
  return true;
}

bool readBlock(const PortLock &lock, int, int block, ByteString &bytes) {
  DeviceChannel &channel = lock.channel();
  ByteString command = blockReadCommand(channel.moduleVariant, block);
  ByteString answer;
  if (!sendCommand(lock, command, kBlockTimeoutMs, &answer, kReadAttempts)) return false;
  if (refusedWithStatus(channel, answer)) return false;
  if (!decodeHexField(answer, bytes) || bytes.empty()) return noTagFound(channel);
  return true;
}

bool writeBlock(const PortLock &lock, int, int block, const ByteString &blockBytes) {
  DeviceChannel &channel = lock.channel();
  ByteString command = blockWriteCommand(channel.moduleVariant, block, blockBytes);
  ByteString answer;
  if (!sendCommand(lock, command, kBlockTimeoutMs, &answer, kWriteAttempts)) return false;
  return !refusedWithStatus(channel, answer);
}

constexpr FixedBlockSize kBlockSizes[] = {
    {TagType::MifareUltralight, 4},
    {TagType::MifareFamily, 16},
    {TagType::MyDIso14443, 8},
};

bool writable(int) { return true; }

}  // namespace

constinit const TagProtocol kAsciiModuleTags = {
    .prepare = prepare,
    .switchReading = switchReading,
    .readTag = readModuleTag,
    .name = name,
    .cycle = cycle,
    .readBlock = readBlock,
    .writeBlock = writeBlock,
    .blockReadIsExact = false,
    .fixedBlockSizes = kBlockSizes,
    .writable = writable,
};

}  // namespace reader
