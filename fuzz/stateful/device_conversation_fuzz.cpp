// A whole scan cycle or tag cycle against a device that says anything: the
// input picks the device kind and the cycle's arguments, and the rest is the
// device's side of the conversation (bytes, silences, line failures; see
// scripted_device_port.h). The library's own cycle code runs against it on a
// manual clock, so silences and the cycles' pauses cost no real time.
//
// Input: kind byte, flags byte, the kind's arguments, then the script.
// Promises checked after every cycle:
//  - a cycle that succeeds stores exactly what it hands out;
//  - a cycle that fails leaves the stored result as it was;
//  - a tag's data is at most 128 bytes and no more than was asked for;
//  - the ASCII module's port is closed again after its cycle.
// With the settings flag an engine instead answers the settings calls
// (written record, read record, reset to the defaults); whatever it answers,
// the record read holds only the engine's own section, byte 0 and the
// options, and the options read back as written.
#include <3100XE_DLL.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/byte_string.h"
#include "core/device_kind.h"
#include "core/reader_device.h"
#include "core/scan_control.h"
#include "platform/semaphore.h"
#include "rfid/tag_cycle.h"
#include "settings/library_options.h"
#include "settings/settings_record.h"
#include "stateful/conversation_port.h"
#include "support/byte_fields.h"
#include "support/invariant_check.h"
#include "support/settings_read_back.h"

namespace {

using reader::ByteString;
using reader::ScanResult;

constexpr int kKinds[] = {reader::DeviceKind::TextEngine, reader::DeviceKind::SsiEngine3,
                          reader::DeviceKind::SsiEngine4, reader::DeviceKind::AsciiModule,
                          reader::DeviceKind::HexModule};
constexpr int kHexProtocols[] = {0, 3, 5, 8, 16};
constexpr int kMaxTagBytes = 128;

// Flag bits of the second byte; its high four bits, taken modulo 3, also
// give the number of cycles less one.
constexpr std::uint8_t kTriggerReleased = 0x01;  // barcode: a release came before the cycle
constexpr std::uint8_t kSeedBlock = 0x02;        // text engine: a configuration block is known
constexpr std::uint8_t kPortClosed = 0x04;       // hex module: the idle close shut the port
constexpr std::uint8_t kScanAlreadyOn = 0x08;    // the library believes scanning is on
constexpr std::uint8_t kSettingsCalls = 0x40;    // barcode: settings calls instead of scans

// The engine sections of the settings record: kind, device bit, bytes.
struct EngineSection {
  int kind, deviceBit, first, last;
};
constexpr EngineSection kEngineSections[] = {{2, 1, 1, 82}, {4, 2, 101, 168}, {3, 4, 191, 290}};
enum class SettingsCall : std::uint8_t { WriteThenRead, Read, ResetThenRead };

bool same(const ByteString &a, const ByteString &b) {
  if (a.length() != b.length()) return false;
  for (std::uint32_t i = 0; i < a.length(); ++i)
    if (a.at(i) != b.at(i)) return false;
  return true;
}

bool same(const ScanResult &a, const ScanResult &b) {
  return a.code == b.code && same(a.name, b.name) && same(a.data, b.data) && same(a.tagData, b.tagData) &&
         a.blockSize == b.blockSize;
}

// A result no cycle produces, so that a failed cycle that touched the stored
// result shows.
ScanResult sentinel() {
  ScanResult result;
  result.code = 0x5A5A;
  result.name = ByteString::fromText("before");
  result.data = ByteString::fromText("previous");
  result.tagData = ByteString::fromBytes({1, 2, 3});
  result.blockSize = 77;
  return result;
}

// What the input says about the cycle, read before the script.
struct CycleArguments {
  int kind = 0;
  std::uint8_t flags = 0;
  int cycles = 1;
  std::vector<std::uint8_t> configBlock;  // text engine, when seeded
  int timeoutMs = 0;                      // barcode decode wait
  int start = 0, length = 0;              // tag memory range
  ByteString key;
  int variantOrProtocol = 0;  // ASCII module variant, hex module protocol
  SettingsCall settingsCall = SettingsCall::Read;
  readerfuzz::SettingsRecord record{};  // written by WriteThenRead
  int resetMask = 0;
};

CycleArguments readArguments(readerfuzz::ByteFields &in) {
  CycleArguments a;
  a.kind = kKinds[in.byte() % std::size(kKinds)];
  a.flags = in.byte();
  a.cycles = 1 + (a.flags >> 4) % 3;
  if (a.kind <= reader::DeviceKind::SsiEngine4) {
    if (a.kind == reader::DeviceKind::TextEngine && (a.flags & kSeedBlock) != 0) a.configBlock = in.bytes(32);
    a.timeoutMs = 100 + in.byte() * 40;
    if ((a.flags & kSettingsCalls) != 0) {
      a.settingsCall = static_cast<SettingsCall>(in.byte() % 3);
      a.resetMask = in.byte();
      // A sparse record: a count, then offset and value pairs.
      for (int n = in.byte() % 48; n > 0; --n) {
        const int offset = in.u16() % READER_SETTINGS_RECORD_SIZE;
        a.record[static_cast<std::size_t>(offset)] = in.byte();
      }
    }
  } else {
    a.start = static_cast<std::int8_t>(in.byte());
    a.length = in.byte();
    a.key = ByteString::fromBytes(in.counted(14));
    a.variantOrProtocol = in.byte();
  }
  return a;
}

// `kind` is the engine kind after the calls: a reset renegotiates the link,
// and the engine's revision answer may name the other SSI variant.
void checkSettingsRecord(const CycleArguments &a, int kind, const readerfuzz::SettingsRecord &read) {
  const EngineSection *section = nullptr;
  for (const EngineSection &s : kEngineSections)
    if (s.kind == kind) section = &s;
  READER_FUZZ_CHECK(read[0] == ((section != nullptr ? section->deviceBit : 0) | 32));
  const bool written = a.settingsCall == SettingsCall::WriteThenRead;
  const readerfuzz::SettingsRecord options = readerfuzz::optionsReadBack(a.record);
  for (int offset = 1; offset < READER_SETTINGS_RECORD_SIZE; ++offset) {
    if (section != nullptr && offset >= section->first && offset <= section->last) continue;
    const bool option = offset >= readerfuzz::kOptionsFirst && offset <= readerfuzz::kOptionsLast;
    if (!option)
      READER_FUZZ_CHECK(read[offset] == 0);
    else if (written)
      READER_FUZZ_CHECK(read[offset] == options[offset]);
  }
}

void settingsCalls(reader::ReaderDevice &device, const CycleArguments &a) {
  reader::LibraryOptions options;
  reader::platform::Semaphore autoScan{0, 1};
  reader::SsiKnownValues known;
  reader::SettingsContext context{device, options, known, autoScan};
  if (a.settingsCall == SettingsCall::WriteThenRead)
    READER_FUZZ_CHECK(reader::setReaderSettings(context, a.record.data()) == READER_OK);
  if (a.settingsCall == SettingsCall::ResetThenRead) {
    const int result = reader::resetReaderToDefault(context, a.resetMask);
    READER_FUZZ_CHECK(result == READER_OK || result == READER_ERR_BARCODE_FAILED);
  }
  readerfuzz::SettingsRecord read;
  read.fill(0xA5);
  READER_FUZZ_CHECK(reader::getReaderSettings(context, read.data()) == READER_OK);
  checkSettingsRecord(a, device.barcodeKind(), read);
}

void barcodeCycles(reader::ReaderDevice &device, const CycleArguments &a,
                   const std::shared_ptr<readerfuzz::ScriptedDevicePort> &port) {
  reader::DeviceChannel &channel = device.barcode;
  if ((a.flags & kSeedBlock) != 0 && a.kind == reader::DeviceKind::TextEngine) {
    channel.configBlock = ByteString::fromBytes(a.configBlock);
    reader::configBlockChanged(channel);
  }
  channel.port.set(port);
  // A reset may reopen the engine's port at another speed.
  readerfuzz::setConversationPort(port);
  device.barcodePresent = 1;
  if ((a.flags & kSettingsCalls) != 0) {
    settingsCalls(device, a);
    return;
  }
  if ((a.flags & kScanAlreadyOn) != 0) channel.scanOn = 1;
  for (int i = 0; i < a.cycles; ++i) {
    if ((a.flags & kTriggerReleased) != 0 && i == 0) channel.stopRequested = 1;
    const ScanResult before = channel.result.get();
    int code = 0;
    ByteString name, data;
    const bool decoded = reader::scanBarcode(device, code, name, data, a.timeoutMs);
    const ScanResult after = channel.result.get();
    if (decoded) {
      READER_FUZZ_CHECK(after.code == code && same(after.name, name) && same(after.data, data));
    } else {
      READER_FUZZ_CHECK(same(before, after));
    }
    reader::armTriggerScan(device);
  }
}

void tagCycles(reader::ReaderDevice &device, const CycleArguments &a,
               const std::shared_ptr<readerfuzz::ScriptedDevicePort> &port) {
  reader::DeviceChannel &channel = device.rfid;
  const bool ascii = a.kind == reader::DeviceKind::AsciiModule;
  readerfuzz::setConversationPort(port);
  if (ascii) {
    channel.moduleVariant = a.variantOrProtocol % 2;
    port->close();  // the cycle opens the port itself
  } else {
    channel.moduleVariant = 2;
    channel.protocolSelector = kHexProtocols[a.variantOrProtocol % std::size(kHexProtocols)];
    if ((a.flags & kPortClosed) != 0)
      port->close();
    else
      channel.port.set(port);
  }
  if ((a.flags & kScanAlreadyOn) != 0) channel.scanOn = 1;
  device.rfidPresent = 1;
  for (int i = 0; i < a.cycles; ++i) {
    const ScanResult before = channel.result.get();
    ScanResult out;
    const bool found = reader::rfidReadCycle(device, a.start, a.length, a.key, out);
    const ScanResult after = channel.result.get();
    if (found) {
      READER_FUZZ_CHECK(same(after, out));
      READER_FUZZ_CHECK(out.tagData.length() <= static_cast<std::uint32_t>(kMaxTagBytes));
      READER_FUZZ_CHECK(out.tagData.length() <= static_cast<std::uint32_t>(a.length));
    } else {
      READER_FUZZ_CHECK(same(before, after));
    }
    if (ascii) READER_FUZZ_CHECK(!channel.port.isOpen());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::ByteFields in(data, size);
  const CycleArguments arguments = readArguments(in);
  auto port = std::make_shared<readerfuzz::ScriptedDevicePort>(in.rest());
  {
    reader::ReaderDevice device;
    const bool barcode = arguments.kind <= reader::DeviceKind::SsiEngine4;
    reader::DeviceChannel &channel = barcode ? device.barcode : device.rfid;
    channel.kind = arguments.kind;
    channel.portNumber = barcode ? 1 : 2;
    channel.result.set(sentinel());
    if (barcode)
      barcodeCycles(device, arguments, port);
    else
      tagCycles(device, arguments, port);
  }
  readerfuzz::setConversationPort(nullptr);
  return 0;
}
