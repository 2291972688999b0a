// The text engine's answers as the library takes them: the probe ("VER"),
// the configuration block ("SET", hexadecimal text), and the answers to the
// settings writes ("SAVE" + block), through the real exchange code over a
// scripted port. Input: up to four settings operations (group, operation,
// values: 1 byte each), then the engine's bytes in the script form of
// scripted_serial_port.h, answer by answer (FE 00 between them).
//
// Beyond surviving any answer: the library's copy of the block only ever
// holds what the engine took (a refused write leaves it as it was), a block
// sent is the copy, and a value written and taken reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/hex_text.h"
#include "settings/config_block.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/manual_clock.h"
#include "support/scripted_channel.h"

namespace {

using reader::ByteString;
using reader::ConfigGroup;

constexpr int kOperations = 4;

bool sameBlock(const ByteString &a, const ByteString &b) {
  if (a.length() != b.length()) return false;
  for (std::uint32_t i = 0; i < a.length(); ++i)
    if (a.at(i) != b.at(i)) return false;
  return true;
}

// The frame a text command goes out in: 30 wake bytes, ESC, text, CR.
std::vector<std::uint8_t> textFrame(const ByteString &command) {
  std::vector<std::uint8_t> frame(30, 0xFF);
  frame.push_back(0x1B);
  for (std::uint8_t b : command.toBytes()) frame.push_back(b);
  frame.push_back(0x0D);
  return frame;
}

struct Operation {
  ConfigGroup group;
  bool write;
  std::uint8_t values;  // parameter i gets bit i (0 or 1); bits set in the mask are left alone
  std::uint8_t leaveAlone;
};

void runOperation(const reader::PortLock &engine, const readerfuzz::ScriptedSerialPort &port, const Operation &op) {
  reader::DeviceChannel &channel = engine.channel();
  const int count = reader::configGroupParameterCount(op.group);
  int values[reader::kMaxConfigParameters] = {};
  int *parameters[reader::kMaxConfigParameters] = {};
  for (int i = 0; i < count; ++i) {
    values[i] = (op.values >> (i % 8)) & 1;
    parameters[i] = ((op.leaveAlone >> (i % 8)) & 1) != 0 ? nullptr : &values[i];
  }
  const std::span<int *const> list(parameters, static_cast<std::size_t>(count));
  const ByteString before = channel.configBlock;
  const std::size_t writesBefore = port.writes().size();
  const bool usable = before.length() >= reader::kMinConfigBlockBytes;

  if (!op.write) {
    const bool ok = reader::configGroupOperation(engine, op.group, reader::kReadSettings, list);
    READER_FUZZ_CHECK(ok == usable && port.writes().size() == writesBefore && sameBlock(before, channel.configBlock));
    return;
  }
  const bool ok = reader::configGroupOperation(engine, op.group, reader::kWriteSettings, list);
  if (!usable) READER_FUZZ_CHECK(!ok);
  if (!ok) {
    // The engine did not take it: the copy is what the engine has.
    READER_FUZZ_CHECK(sameBlock(before, channel.configBlock));
    return;
  }
  READER_FUZZ_CHECK(channel.configBlock.length() == before.length());
  if (port.writes().size() > writesBefore) {
    // What went out is the copy now held.
    ByteString hex;
    reader::toHexText(channel.configBlock, hex);
    ByteString command = ByteString::fromText("SAVE");
    command.append(hex);
    READER_FUZZ_CHECK(port.writes().back() == textFrame(command));
  }
  // Every value written reads back.
  int readBack[reader::kMaxConfigParameters] = {};
  int *readers[reader::kMaxConfigParameters] = {};
  for (int i = 0; i < count; ++i) readers[i] = &readBack[i];
  READER_FUZZ_CHECK(reader::configGroupOperation(engine, op.group, reader::kReadSettings,
                                                 std::span<int *const>(readers, static_cast<std::size_t>(count))));
  for (int i = 0; i < count; ++i)
    if (parameters[i] != nullptr) READER_FUZZ_CHECK(readBack[i] == values[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  Operation operations[kOperations];
  for (Operation &op : operations) {
    const std::uint8_t selector = input.byte();
    op.group = static_cast<ConfigGroup>(selector % reader::kConfigGroupCount);
    op.write = (selector & 0x80) != 0;
    op.values = input.byte();
    op.leaveAlone = input.byte();
  }

  reader::ReaderDevice &device = readerfuzz::fuzzDevice();
  reader::DeviceChannel &channel = device.barcode;
  auto port = readerfuzz::attachScript(channel, reader::DeviceKind::TextEngine, input.rest(), input.remaining());
  device.barcodePresent = 1;

  const auto lock = reader::PortLock::take(channel);
  if (reader::negotiateLink(*lock)) {
    READER_FUZZ_CHECK(channel.kind == reader::DeviceKind::TextEngine);
    reader::readConfiguration(*lock, channel.configBlock);
    reader::configBlockChanged(channel);
    const int mode =
        channel.configBlock.length() >= reader::kMinConfigBlockBytes ? channel.configBlock.byteAt(20) >> 4 : 0;
    READER_FUZZ_CHECK(channel.triggerMode == mode);
    for (const Operation &op : operations) runOperation(*lock, *port, op);
  }
  device.barcodePresent = 0;
  readerfuzz::detachScript(channel);
  return 0;
}
