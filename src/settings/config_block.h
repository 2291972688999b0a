// Settings of the text-command engine: every setting is a bit field of its
// configuration block, of which the barcode channel keeps a copy.
//
// Reading a setting extracts its bits from the copy. Changing one edits the
// copy and sends the whole block back as "SAVE" followed by the block in
// uppercase hexadecimal; a refused or unanswered send puts the copy back, so
// the copy always equals the engine. The settings are grouped: one group is
// one operation with a fixed list of parameters (ConfigGroup). Every
// operation holds the barcode channel's portLock for its whole length.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "core/port_lock.h"
#include "core/reader_device.h"
#include "settings/settings_record_layout.h"  // ConfigGroup

namespace reader {

// Bits lo..hi of a value as an unsigned number; 0 when hi < lo.
std::uint32_t getBits(std::uint32_t value, int lo, int hi);

// Writes the low hi - lo + 1 bits of `value` into bits lo..hi of `element`,
// leaving its other bits alone.
void setBits(std::int16_t &element, int lo, int hi, std::uint32_t value);

inline constexpr int kMaxConfigParameters = 10;

// Operation codes shared by the settings operations.
inline constexpr char kReadSettings = 'r';
inline constexpr char kWriteSettings = 'w';

// Number of parameters of a group.
int configGroupParameterCount(ConfigGroup group);

// Reads ('r') or writes ('w') one group. parameters[i] points to the value
// of parameter i + 1; a null pointer (or a missing entry) leaves that
// parameter alone. Returns false for an engine that is not the text engine,
// a copy shorter than 30 bytes, another operation code, or a refused or
// unanswered send.
bool configGroupOperation(const PortLock &engine, ConfigGroup group, char operation, std::span<int *const> parameters);
inline bool configGroupOperation(const PortLock &engine, ConfigGroup group, char operation,
                                 std::initializer_list<int *> parameters) {
  return configGroupOperation(engine, group, operation, std::span<int *const>(parameters.begin(), parameters.size()));
}

// The engine's trigger mode (scan group, parameter 1) as the copy holds it;
// 0 when it cannot be read (not the text engine, short copy). Never waits
// for portLock.
int readTriggerMode(const ReaderDevice &device);

}  // namespace reader
