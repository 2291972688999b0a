#include "settings/ssi_parameters.h"

#include <array>

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/port_lock.h"
#include "core/ssi_message.h"
#include "settings/config_block.h"

namespace reader {

namespace {

enum class ValueKind : std::uint8_t {
  Flag,      // sent as 1 for nonzero, 0 for zero
  Value,     // sent as its low 8 bits
  SixOrTen,  // sent as itself when 6 or 10, otherwise 6
  AimTime,   // the channel's aimTime; never exchanged with the engine
};

struct SsiParameter {
  std::uint8_t number = 0;  // the only byte, or the byte after 0xF0
  bool extended = false;    // number is 0xF0 followed by `number`
  ValueKind kind = ValueKind::Value;
  bool variant3Only = false;
};

constexpr std::uint8_t kExtendedPrefix = 0xF0;

constexpr SsiParameter flag(int number) { return {std::uint8_t(number), false, ValueKind::Flag}; }
constexpr SsiParameter value(int number) { return {std::uint8_t(number), false, ValueKind::Value}; }
constexpr SsiParameter flagF0(int second) { return {std::uint8_t(second), true, ValueKind::Flag}; }
constexpr SsiParameter valueF0(int second) { return {std::uint8_t(second), true, ValueKind::Value}; }
constexpr SsiParameter sixOrTenF0(int second) { return {std::uint8_t(second), true, ValueKind::SixOrTen}; }
constexpr SsiParameter variant3Flag(int number) { return {std::uint8_t(number), false, ValueKind::Flag, true}; }
constexpr SsiParameter aimTime() { return {0, false, ValueKind::AimTime}; }

constexpr std::uint8_t kVariant3 = 1u << 0;
constexpr std::uint8_t kVariant4 = 1u << 1;
constexpr std::uint8_t kBothVariants = kVariant3 | kVariant4;

struct SsiGroupDescription {
  SsiGroup group;
  std::uint8_t variants;
  std::uint8_t count;
  std::array<SsiParameter, kMaxSsiParameters> arguments;
  // Argument indices in message order; empty (all 0) means argument order.
  std::array<std::uint8_t, kMaxSsiParameters> messageOrder;
};

// clang-format off
constexpr std::array<SsiGroupDescription, kSsiGroupCount> kGroups{{
    {SsiGroup::Code39, kBothVariants, 9,
     {flag(0x00), flag(0x0D), flag(0x56), flag(0xE7), flag(0x30), flag(0x2B), flag(0x11), value(0x12),
      value(0x13)},
     {}},
    {SsiGroup::Upc, kBothVariants, 15,
     {flag(0x01), flag(0x02), flag(0x0C), value(0x10), value(0x50), flag(0x28), flag(0x29), flag(0x2A),
      value(0x22), value(0x23), value(0x24), flag(0x25), flag(0x26), flag(0x55), variant3Flag(0x44)},
     {}},
    {SsiGroup::Ean, kBothVariants, 8,
     {flag(0x04), flag(0x03), flag(0x53), value(0x10), value(0x50), flag(0x27), flag(0x55),
      variant3Flag(0x44)},
     {}},
    {SsiGroup::Code128, kBothVariants, 3, {flag(0x08), flag(0x0E), flag(0x54)}, {}},
    {SsiGroup::Code93, kBothVariants, 3, {flag(0x09), value(0x1A), value(0x1B)}, {}},
    {SsiGroup::Code11, kBothVariants, 5, {flag(0x0A), value(0x34), flag(0x2F), value(0x1C), value(0x1D)},
     {0, 3, 4, 1, 2}},
    {SsiGroup::Interleaved2of5, kBothVariants, 6,
     {flag(0x06), value(0x16), value(0x17), value(0x31), flag(0x2C), flag(0x52)},
     {}},
    {SsiGroup::Discrete2of5, kBothVariants, 3, {flag(0x05), value(0x14), value(0x15)}, {}},
    {SsiGroup::Codabar, kBothVariants, 5, {flag(0x07), value(0x18), value(0x19), flag(0x36), flag(0x37)}, {}},
    {SsiGroup::Msi, kBothVariants, 6,
     {flag(0x0B), value(0x1E), value(0x1F), flag(0x32), flag(0x2E), value(0x33)},
     {}},
    {SsiGroup::Postal, kVariant3, 8,
     {flag(0x59), flag(0x5A), flag(0x5B), flag(0x60), flagF0(0x22), flagF0(0x23), flagF0(0x46), flag(0x5F)},
     {0, 1, 2, 3, 7, 4, 5, 6}},
    {SsiGroup::Rss, kBothVariants, 4, {flagF0(0x52), flagF0(0x53), flagF0(0x54), flagF0(0x8D)}, {}},
    {SsiGroup::Composite, kVariant3, 6,
     {flagF0(0x55), flagF0(0x56), flagF0(0x73), valueF0(0x58), valueF0(0x8E), flagF0(0xAB)},
     {}},
    {SsiGroup::TwoD, kBothVariants, 6,
     {flag(0x0F), flag(0xE3), flag(0x7B), flagF0(0x24), flagF0(0x26), flagF0(0x25)},
     {}},
    {SsiGroup::Redundancy, kBothVariants, 3, {value(0x4E), value(0x4D), sixOrTenF0(0x7D)}, {}},
    {SsiGroup::OptionBC, kBothVariants, 3, {value(0xBC), flag(0xB8), value(0xE9)}, {}},
    {SsiGroup::OptionF029, kBothVariants, 6,
     {flagF0(0x29), flagF0(0x2A), valueF0(0x32), valueF0(0xA6), valueF0(0xAD), value(0x5D)},
     {}},
    {SsiGroup::Format, kBothVariants, 6,
     {value(0x2D), value(0x69), value(0x68), value(0x6A), value(0xEB), flag(0x5E)},
     {}},
    {SsiGroup::ScanTime, kVariant3, 2, {value(0x88), value(0x89)}, {}},
    {SsiGroup::ScanTime4, kVariant4, 6,
     {value(0x88), value(0xBF), value(0x89), value(0x4E), flag(0x43), aimTime()},
     {}},
}};
// clang-format on

constexpr bool tableIsConsistent() {
  for (int g = 0; g < kSsiGroupCount; ++g) {
    const SsiGroupDescription &d = kGroups[g];
    if (static_cast<int>(d.group) != g || d.count > kMaxSsiParameters) return false;
    // A message order, where given, names every argument once.
    bool ordered = false;
    for (int i = 0; i < d.count; ++i) ordered = ordered || d.messageOrder[i] != 0;
    if (!ordered) continue;
    for (int a = 0; a < d.count; ++a) {
      int seen = 0;
      for (int i = 0; i < d.count; ++i) seen += d.messageOrder[i] == a ? 1 : 0;
      if (seen != 1) return false;
    }
  }
  return true;
}
static_assert(tableIsConsistent(), "SSI group table out of order or with a bad message order");

constexpr int kExchangeTimeoutMs = 1000;
constexpr int kExchangeAttempts = 5;

using ssi::kNoBeep;
using ssi::kParamSend;
using ssi::kSourceEngine;
using ssi::setLength;
constexpr std::uint32_t kAnswerDataStart = 5;

const SsiGroupDescription &describe(SsiGroup group) { return kGroups[static_cast<int>(group)]; }

bool acceptsKind(const SsiGroupDescription &d, int kind) {
  if (kind == DeviceKind::SsiEngine3) return (d.variants & kVariant3) != 0;
  if (kind == DeviceKind::SsiEngine4) return (d.variants & kVariant4) != 0;
  return false;
}

// Whether the argument is exchanged with an engine of this kind.
bool exchanged(const SsiParameter &p, int kind) {
  if (p.kind == ValueKind::AimTime) return false;
  return !(p.variant3Only && kind != DeviceKind::SsiEngine3);
}

int argumentAt(const SsiGroupDescription &d, int position) {
  bool ordered = false;
  for (int i = 0; i < d.count; ++i) ordered = ordered || d.messageOrder[i] != 0;
  return ordered ? d.messageOrder[position] : position;
}

int *given(std::span<int *const> parameters, int index) {
  return static_cast<std::size_t>(index) < parameters.size() ? parameters[index] : nullptr;
}

void appendNumber(ByteString &packet, const SsiParameter &p) {
  if (p.extended) packet.append(kExtendedPrefix);
  packet.append(p.number);
}

std::uint8_t wireValue(const SsiParameter &p, int v) {
  switch (p.kind) {
    case ValueKind::Flag: return v != 0 ? 1 : 0;
    case ValueKind::SixOrTen: return (v == 6 || v == 10) ? std::uint8_t(v) : 6;
    case ValueKind::Value:
    case ValueKind::AimTime: break;
  }
  return static_cast<std::uint8_t>(v & 0xFF);
}

// The argument a parameter number in an answer stands for, or -1. A
// two-byte number is known by its second byte; its 0xF0 matches nothing.
int matchAnswerNumber(const SsiGroupDescription &d, int kind, std::uint8_t number) {
  for (int i = 0; i < d.count; ++i)
    if (exchanged(d.arguments[i], kind) && d.arguments[i].number == number) return i;
  return -1;
}

bool isParamSendAnswer(const ByteString &answer) {
  return answer.length() >= kAnswerDataStart && answer.byteAt(1) == kParamSend && answer.byteAt(2) == kSourceEngine &&
         answer.byteAt(3) == 0x00 && answer.byteAt(4) == kNoBeep;
}

bool readGroup(const SsiSession &engine, const SsiGroupDescription &d, int kind, std::span<int *const> parameters) {
  for (int i = 0; i < d.count; ++i)
    if (d.arguments[i].kind == ValueKind::AimTime)
      if (int *ref = given(parameters, i)) *ref = engine.port.channel().aimTime;

  ByteString request = ssi::hostMessage(ssi::kParamRequest);
  for (int position = 0; position < d.count; ++position) {
    const SsiParameter &p = d.arguments[argumentAt(d, position)];
    if (exchanged(p, kind)) appendNumber(request, p);
  }
  setLength(request);
  ByteString answer;
  // An unanswered or refused request tells nothing about the engine.
  if (!sendCommand(engine.port, request, kExchangeTimeoutMs, &answer, kExchangeAttempts)) return false;
  if (!isParamSendAnswer(answer)) return false;

  const std::uint32_t end = answer.length();
  for (std::uint32_t at = kAnswerDataStart; at < end;) {
    const int index = matchAnswerNumber(d, kind, answer.byteAt(at));
    if (index < 0 || at + 1 >= end) {
      ++at;
      continue;
    }
    const int reported = answer.byteAt(at + 1);
    if (int *ref = given(parameters, index)) *ref = reported;
    engine.known.remember(d.group, index, reported);
    at += 2;
  }
  return true;
}

bool writeGroup(const SsiSession &engine, const SsiGroupDescription &d, int kind, std::span<int *const> parameters) {
  for (int i = 0; i < d.count; ++i)
    if (d.arguments[i].kind == ValueKind::AimTime)
      if (const int *ref = given(parameters, i)) engine.port.channel().aimTime = *ref;

  ByteString packet = ssi::parameterSend();
  bool changed = false;
  for (int position = 0; position < d.count; ++position) {
    const int index = argumentAt(d, position);
    const SsiParameter &p = d.arguments[index];
    const int *ref = given(parameters, index);
    if (ref == nullptr || !exchanged(p, kind)) continue;
    if (int known = 0; engine.known.find(d.group, index, known) && known == *ref) continue;
    appendNumber(packet, p);
    packet.append(wireValue(p, *ref));
    changed = true;
  }
  if (!changed) return false;
  setLength(packet);
  ByteString answer;
  if (!sendCommand(engine.port, packet, kExchangeTimeoutMs, &answer, kExchangeAttempts)) return false;
  for (int i = 0; i < d.count; ++i)
    if (const int *ref = given(parameters, i); ref != nullptr && exchanged(d.arguments[i], kind))
      engine.known.remember(d.group, i, *ref);
  return true;
}

}  // namespace

int ssiGroupParameterCount(SsiGroup group) { return describe(group).count; }

bool ssiGroupOperation(const SsiSession &engine, SsiGroup group, char operation, std::span<int *const> parameters) {
  const SsiGroupDescription &d = describe(group);
  const int kind = engine.port.channel().kind;
  if (!acceptsKind(d, kind)) return false;
  // Since the port was opened, closed or the engine set behind our back, the
  // engine may hold anything: nothing known is trusted any more.
  engine.known.keepOnly(engine.port.channel().settingsEpoch);
  if (operation == kReadSettings) return readGroup(engine, d, kind, parameters);
  if (operation == kWriteSettings) return writeGroup(engine, d, kind, parameters);
  return false;
}

}  // namespace reader
