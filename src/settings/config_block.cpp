#include "settings/config_block.h"

#include <array>
#include <atomic>

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_text.h"
#include "core/port_lock.h"

namespace reader {

namespace {

// How a parameter sits in the block.
enum class FieldKind : std::uint8_t {
  Bits,        // bits lo..hi of one byte; a one-bit field is a flag
  Held,        // an option the engine's channel holds; a nonzero write also sets the bit
  Summarised,  // a byte 22 bit that byte 1 bit 7 summarises with its partner
  Inverted,    // one bit that is set when the parameter is 0
};

struct BlockField {
  FieldKind kind = FieldKind::Bits;
  std::uint8_t byte = 0;
  std::uint8_t lo = 0;
  std::uint8_t hi = 0;
  std::uint8_t partner = 0;                         // Summarised: the other byte 22 bit
  std::atomic<int> DeviceChannel::*held = nullptr;  // Held: the option
};

constexpr BlockField bit(int byte, int b) {
  return {FieldKind::Bits, std::uint8_t(byte), std::uint8_t(b), std::uint8_t(b)};
}
constexpr BlockField bits(int byte, int lo, int hi) {
  return {FieldKind::Bits, std::uint8_t(byte), std::uint8_t(lo), std::uint8_t(hi)};
}
constexpr BlockField heldOption(std::atomic<int> DeviceChannel::*option, int byte, int b) {
  return {FieldKind::Held, std::uint8_t(byte), std::uint8_t(b), std::uint8_t(b), 0, option};
}
// Byte 1 bit 7 tells whether either of byte 22 bits 6 and 7 is set.
constexpr int kSummaryByte = 1;
constexpr int kSummaryBit = 7;
constexpr BlockField summarised(int b, int partner) {
  return {FieldKind::Summarised, 22, std::uint8_t(b), std::uint8_t(b), std::uint8_t(partner)};
}
constexpr BlockField inverted(int byte, int b) {
  return {FieldKind::Inverted, std::uint8_t(byte), std::uint8_t(b), std::uint8_t(b)};
}

struct GroupDescription {
  ConfigGroup group;
  // The Code 128 and EAN-128 groups are sent even when nothing changed.
  bool alwaysSends;
  std::uint8_t count;
  std::array<BlockField, kMaxConfigParameters> fields;
};

// Parameter i + 1 of each group is fields[i].
// clang-format off
constexpr std::array<GroupDescription, kConfigGroupCount> kGroups{{
    {ConfigGroup::Group1, false, 5, {bit(0, 7), bit(5, 6), bit(5, 5), bit(5, 4), bit(5, 7)}},
    {ConfigGroup::Group6, false, 4, {bit(0, 6), bit(0, 5), bit(5, 3), bit(5, 2)}},
    {ConfigGroup::Group10, false, 7,
     {bit(0, 4), bit(6, 7), bit(6, 6), bits(6, 0, 1), bit(12, 7), bits(12, 0, 6), bits(13, 0, 7)}},
    {ConfigGroup::Group17, false, 7,
     {bit(0, 3), bit(5, 1), bit(5, 0), bits(6, 2, 3), bit(14, 7), bits(14, 0, 6), bits(15, 0, 7)}},
    {ConfigGroup::Group24, false, 7,
     {bit(0, 2), bit(6, 5), bit(6, 4), bits(7, 6, 7), bit(16, 7), bits(16, 0, 6), bits(17, 0, 7)}},
    {ConfigGroup::Group31, false, 3, {bit(0, 1), bits(7, 4, 5), bit(7, 3)}},
    {ConfigGroup::Group33, false, 6,
     {bit(2, 5), bits(9, 6, 7), bits(9, 4, 5), bit(18, 7), bits(18, 0, 6), bits(19, 0, 7)}},
    {ConfigGroup::Group39, false, 3, {bit(2, 4), bit(9, 3), bit(9, 2)}},
    {ConfigGroup::Group42, false, 8,
     {bit(1, 6), bit(1, 5), bit(1, 4), bit(4, 6), bit(9, 1), bit(10, 5), bit(10, 1), bit(11, 1)}},
    {ConfigGroup::Group48, false, 5, {bit(1, 3), bit(1, 2), bit(1, 1), bit(10, 3), bit(11, 7)}},
    {ConfigGroup::UpcEan, false, 9,
     {bit(1, 0), bit(2, 7), bit(2, 6), bit(10, 7), bit(10, 6),
      heldOption(&DeviceChannel::sendEan13CheckDigit, 10, 2),
      heldOption(&DeviceChannel::upcAAsEan13, 9, 0),
      heldOption(&DeviceChannel::sendUpcACheckDigit, 10, 4), bit(10, 0)}},
    {ConfigGroup::Group62, false, 2, {bit(2, 2), bit(2, 1)}},
    {ConfigGroup::Group64, false, 10,
     {bit(2, 0), bit(3, 7), bit(3, 6), bit(3, 5), bit(3, 4), bit(3, 3), bit(3, 2), bit(3, 1),
      bit(3, 0), bit(4, 7)}},
    {ConfigGroup::Group74, false, 1, {bit(0, 0)}},
    {ConfigGroup::Code128, true, 1, {summarised(7, 6)}},
    {ConfigGroup::Ean128, true, 2, {summarised(6, 7), inverted(22, 5)}},
    {ConfigGroup::Scan, false, 3, {bits(20, 4, 7), bits(11, 2, 3), bits(21, 0, 7)}},
    {ConfigGroup::Group81, false, 1, {bit(11, 4)}},
    {ConfigGroup::Group82, false, 1, {bit(11, 5)}},
}};
// clang-format on

constexpr bool tableFollowsEnum() {
  for (int i = 0; i < kConfigGroupCount; ++i)
    if (static_cast<int>(kGroups[i].group) != i) return false;
  return true;
}
static_assert(tableFollowsEnum(), "kGroups must list the groups in enum order");

constexpr int kSaveTimeoutMs = 1000;

const GroupDescription &describe(ConfigGroup group) { return kGroups[static_cast<int>(group)]; }

bool bitIsSet(const ByteString &block, int byte, int b) { return getBits(block.byteAt(byte), b, b) != 0; }

void putBit(ByteString &block, int byte, int b, bool on) { setBits(block.at(std::uint32_t(byte)), b, b, on); }

int readField(const DeviceChannel &engine, const ByteString &block, const BlockField &field) {
  switch (field.kind) {
    case FieldKind::Held: return engine.*field.held;
    case FieldKind::Inverted: return bitIsSet(block, field.byte, field.lo) ? 0 : 1;
    case FieldKind::Bits:
    case FieldKind::Summarised: break;
  }
  return static_cast<int>(getBits(block.byteAt(field.byte), field.lo, field.hi));
}

void writeField(DeviceChannel &engine, ByteString &block, const BlockField &field, int value) {
  const bool on = value != 0;
  switch (field.kind) {
    case FieldKind::Bits:
      if (field.lo == field.hi)
        putBit(block, field.byte, field.lo, on);
      else
        setBits(block.at(std::uint32_t(field.byte)), field.lo, field.hi, static_cast<std::uint32_t>(value));
      return;
    case FieldKind::Held:
      // The engine keeps sending what it was once asked for; the decode
      // processing strips what the option says.
      if (on) putBit(block, field.byte, field.lo, true);
      engine.*field.held = on ? 1 : 0;
      return;
    case FieldKind::Summarised:
      putBit(block, field.byte, field.lo, on);
      if (on)
        putBit(block, kSummaryByte, kSummaryBit, true);
      else if (!bitIsSet(block, field.byte, field.partner))
        putBit(block, kSummaryByte, kSummaryBit, false);
      return;
    case FieldKind::Inverted: putBit(block, field.byte, field.lo, !on); return;
  }
}

bool isTextEngine(const DeviceChannel &engine) { return engine.kind == DeviceKind::TextEngine; }

// The copy is looked at only under the port lock: the default set-up
// replaces it under the same lock.
bool blockUsable(const PortLock &engine) {
  const DeviceChannel &channel = engine.channel();
  return isTextEngine(channel) && channel.configBlock.length() >= kMinConfigBlockBytes;
}

// Step 4 of every group operation.
void readGroup(const PortLock &engine, const GroupDescription &group, std::span<int *const> parameters) {
  const DeviceChannel &channel = engine.channel();
  const ByteString &block = channel.configBlock;
  for (std::size_t i = 0; i < group.count && i < parameters.size(); ++i)
    if (parameters[i] != nullptr) *parameters[i] = readField(channel, block, group.fields[i]);
}

bool saveBlock(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  ByteString hex;
  toHexText(channel.configBlock, hex);
  ByteString command = ByteString::fromText("SAVE");
  command.append(hex);
  ByteString answer;
  return sendCommand(lock, command, kSaveTimeoutMs, &answer, 1);
}

// Every group, the EAN-128 group included, puts the copy back when the
// engine did not take the block, so that the copy never claims a setting the
// engine does not have.
bool writeGroup(const PortLock &engine, const GroupDescription &group, std::span<int *const> parameters) {
  DeviceChannel &channel = engine.channel();
  ByteString &block = channel.configBlock;
  const ByteString before = block;
  for (std::size_t i = 0; i < group.count && i < parameters.size(); ++i)
    if (parameters[i] != nullptr) writeField(channel, block, group.fields[i], *parameters[i]);
  bool unchanged = true;
  for (std::uint32_t i = 0; i < block.length() && unchanged; ++i) unchanged = block.at(i) == before.at(i);
  if (unchanged && !group.alwaysSends) return true;
  const bool saved = saveBlock(engine);
  if (!saved) block = before;
  configBlockChanged(channel);
  return saved;
}

}  // namespace

std::uint32_t getBits(std::uint32_t value, int lo, int hi) {
  if (hi < lo || lo < 0 || lo > 31) return 0;
  const int width = hi - lo + 1;
  const std::uint32_t shifted = value >> lo;
  return width >= 32 ? shifted : shifted & ((1u << width) - 1u);
}

void setBits(std::int16_t &element, int lo, int hi, std::uint32_t value) {
  if (hi < lo || lo < 0 || hi > 15) return;
  auto bitsOf = static_cast<std::uint16_t>(element);
  for (int p = lo; p <= hi; ++p) {
    const std::uint16_t mask = static_cast<std::uint16_t>(1u << p);
    if ((value >> (p - lo)) & 1u)
      bitsOf = static_cast<std::uint16_t>(bitsOf | mask);
    else
      bitsOf = static_cast<std::uint16_t>(bitsOf & ~mask);
  }
  element = static_cast<std::int16_t>(bitsOf);
}

int configGroupParameterCount(ConfigGroup group) { return describe(group).count; }

bool configGroupOperation(const PortLock &engine, ConfigGroup group, char operation, std::span<int *const> parameters) {
  if (!blockUsable(engine)) return false;
  const GroupDescription &description = describe(group);
  if (operation == kReadSettings) {
    readGroup(engine, description, parameters);
    return true;
  }
  if (operation != kWriteSettings) return false;
  return writeGroup(engine, description, parameters);
}

int readTriggerMode(const ReaderDevice &device) {
  return isTextEngine(device.barcode) ? device.barcode.triggerMode.load() : 0;
}

}  // namespace reader
