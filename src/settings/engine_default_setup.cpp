// The barcode engines' default set-up: the fixed configuration the library
// works with, sent when the engine is opened on the probing route and by a
// reset to the defaults.
#include <algorithm>
#include <array>
#include <initializer_list>

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/port_lock.h"
#include "core/serial_channel.h"
#include "core/ssi_message.h"
#include "settings/config_block.h"
#include "settings/default_setup.h"
#include "settings/ssi_parameters.h"

namespace reader {

namespace {

// ---- Text-command engine -------------------------------------------------

struct ConfigStep {
  ConfigGroup group;
  std::initializer_list<int> values;  // in parameter order
};

// Values as the Default column of the settings record gives them; a group
// already holding them sends nothing, so a repeated set-up sends only the
// Code 128 and EAN-128 groups.
const ConfigStep kTextEngineSteps[] = {
    {ConfigGroup::Group31, {1, 0, 0}},
    {ConfigGroup::Group10, {1, 0, 1, 0, 1, 127, 4}},
    {ConfigGroup::Group17, {1, 0, 1, 1, 1, 127, 4}},
    {ConfigGroup::Group24, {1, 0, 1, 2, 1, 127, 4}},
    {ConfigGroup::Group1, {1, 0, 1, 0, 0}},
    {ConfigGroup::Group74, {1}},
    {ConfigGroup::Code128, {0}},
    {ConfigGroup::Ean128, {0, 0}},
    {ConfigGroup::Group6, {0, 0, 1, 1}},
    {ConfigGroup::Group33, {0, 0, 1, 1, 127, 4}},
    {ConfigGroup::Group81, {0}},
    {ConfigGroup::Group39, {0, 1, 0}},
    {ConfigGroup::Group64, {0, 0, 0, 1, 1, 1, 1, 1, 1, 1}},
    {ConfigGroup::Group62, {0, 1}},
    {ConfigGroup::Group48, {1, 0, 0, 1, 0}},
    {ConfigGroup::UpcEan, {1, 0, 0, 0, 0, 1, 1, 1, 1}},
    {ConfigGroup::Group82, {0}},
    {ConfigGroup::Group42, {1, 0, 0, 0, 0, 1, 0, 0}},
    {ConfigGroup::Scan, {6, 0, 3}},
};

bool setUpTextEngine(const PortLock &engine) {
  DeviceChannel &channel = engine.channel();
  readConfiguration(engine, channel.configBlock);
  configBlockChanged(channel);
  for (const ConfigStep &step : kTextEngineSteps) {
    std::array<int, kMaxConfigParameters> values{};
    std::array<int *, kMaxConfigParameters> parameters{};
    std::size_t n = 0;
    for (int v : step.values) {
      values[n] = v;
      parameters[n] = &values[n];
      ++n;
    }
    configGroupOperation(engine, step.group, kWriteSettings, std::span<int *const>(parameters.data(), n));
  }
  return true;
}

// ---- SSI engines ----------------------------------------------------------

// The values the set-up holds between its steps. A read that fails stores
// nothing, so each test is made on what the previous step read or wrote.
struct HeldValues {
  int enable = 1, length1 = 0, length2 = 0;  // shared by the symbology steps
  int ean8 = 1, ean13 = 1, bookland = 0;
  std::array<int, 6> postal{1, 1, 1, 1, 1, 1};
  int optionF029 = 1;
  int redundancy4D = 0;
};

// Reads enable, L1 and L2 (arguments 1, l1 and l2 of the group) and writes
// 1, wantedL1, 55 unless the engine already has them.
void ensureLengthGroup(const SsiSession &engine, SsiGroup group, int l1Argument, int l2Argument, int wantedL1,
                       HeldValues &held) {
  std::array<int *, kMaxSsiParameters> parameters{};
  parameters[0] = &held.enable;
  parameters[l1Argument - 1] = &held.length1;
  parameters[l2Argument - 1] = &held.length2;
  const std::span<int *const> refs(parameters.data(), static_cast<std::size_t>(std::max(l1Argument, l2Argument)));
  ssiGroupOperation(engine, group, kReadSettings, refs);
  if (held.enable != 0 && held.length1 == wantedL1 && held.length2 == 55) return;
  held.enable = 1;
  held.length1 = wantedL1;
  held.length2 = 55;
  ssiGroupOperation(engine, group, kWriteSettings, refs);
}

// Reads one flag argument and writes `wanted` when the test says so.
void ensureFlag(const SsiSession &engine, SsiGroup group, int argument, int &heldValue, bool writeWhenZero,
                int wanted) {
  std::array<int *, kMaxSsiParameters> parameters{};
  parameters[argument - 1] = &heldValue;
  const std::span<int *const> refs(parameters.data(), static_cast<std::size_t>(argument));
  ssiGroupOperation(engine, group, kReadSettings, refs);
  const bool write = writeWhenZero ? heldValue == 0 : heldValue != 0;
  if (!write) return;
  heldValue = wanted;
  ssiGroupOperation(engine, group, kWriteSettings, refs);
}

void ensureSymbologies(const SsiSession &engine, int kind, HeldValues &held) {
  const int codabarL1 = kind == DeviceKind::SsiEngine3 ? 5 : 4;
  ensureLengthGroup(engine, SsiGroup::Code39, 8, 9, 4, held);
  ensureLengthGroup(engine, SsiGroup::Code93, 2, 3, 4, held);
  ensureLengthGroup(engine, SsiGroup::Code11, 4, 5, 4, held);
  ensureLengthGroup(engine, SsiGroup::Discrete2of5, 2, 3, 4, held);
  ensureLengthGroup(engine, SsiGroup::Interleaved2of5, 2, 3, 4, held);
  ensureLengthGroup(engine, SsiGroup::Codabar, 2, 3, codabarL1, held);
  ensureFlag(engine, SsiGroup::Code128, 1, held.enable, true, 1);
  ensureLengthGroup(engine, SsiGroup::Msi, 2, 3, 4, held);

  int *ean[] = {&held.ean8, &held.ean13, &held.bookland};
  ssiGroupOperation(engine, SsiGroup::Ean, kReadSettings, ean);
  if (held.ean8 == 0 || held.ean13 == 0 || held.bookland == 0) {
    held.ean8 = held.ean13 = held.bookland = 1;
    ssiGroupOperation(engine, SsiGroup::Ean, kWriteSettings, ean);
  }
}

void ensureVariant3Options(const SsiSession &engine, HeldValues &held) {
  ensureFlag(engine, SsiGroup::Composite, 1, held.enable, true, 1);

  auto &p = held.postal;
  // Arguments 1 to 3 and 5 to 7: 0x59, 0x5A, 0x5B, F0 22, F0 23, F0 46.
  int *postal[] = {&p[0], &p[1], &p[2], nullptr, &p[3], &p[4], &p[5]};
  ssiGroupOperation(engine, SsiGroup::Postal, kReadSettings, postal);
  bool allOn = true;
  for (int v : p) allOn = allOn && v != 0;
  if (!allOn) {
    p.fill(1);
    ssiGroupOperation(engine, SsiGroup::Postal, kWriteSettings, postal);
  }

  ensureFlag(engine, SsiGroup::OptionF029, 1, held.optionF029, true, 1);
  ensureFlag(engine, SsiGroup::Redundancy, 2, held.redundancy4D, false, 0);
}

bool setUpSsiEngine(const SsiSession &engine) {
  const PortLock &lock = engine.port;
  DeviceChannel &channel = lock.channel();
  ByteString reset = ssi::hostMessage(ssi::kSetDefaults);
  ByteString answer;
  sendCommand(lock, reset, 1000, &answer, 5);
  // Back at its own defaults (and at 9600), the engine holds none of the
  // values the library knew.
  engine.known.forget();

  closePort(lock);
  if (!openPort(lock)) return false;
  if (!renegotiateLinkAfterDefaults(lock)) {
    closePort(lock);
    return false;
  }
  sendEngineDefaults(lock);

  // The revision answer of the negotiation may have named the other variant.
  const int kind = channel.kind;
  HeldValues held;
  ensureSymbologies(engine, kind, held);
  int scanTime = 30;
  if (kind == DeviceKind::SsiEngine4) {
    ssiGroupOperation(engine, SsiGroup::ScanTime4, kWriteSettings, {&scanTime});
    return true;
  }
  ensureVariant3Options(engine, held);
  ssiGroupOperation(engine, SsiGroup::ScanTime, kWriteSettings, {&scanTime});
  return true;
}

}  // namespace

bool applyTextEngineSetup(const PortLock &engine, SsiKnownValues &) { return setUpTextEngine(engine); }

bool applySsiEngineSetup(const PortLock &engine, SsiKnownValues &known) { return setUpSsiEngine({engine, known}); }

}  // namespace reader
