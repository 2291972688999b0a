// Settings of the SSI engines: numbered parameters, read and written in
// groups (SsiGroup). A read sends PARAM_REQUEST with the group's numbers and
// walks the PARAM_SEND answer; a write sends PARAM_SEND with the pairs whose
// value differs from what the library last knew to be in the engine.
//
// What the library knows is kept per group and parameter (library-wide; the
// integers are atomics). An entry is known only after the engine reported
// the value or accepted it, and only for as long as the port stays open and
// nothing else sets the engine: every open and close of the port, and the
// defaults frame, forget every entry, as does a reset of the engine to its
// own defaults.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "core/reader_device.h"

namespace reader {

enum class SsiGroup : std::uint8_t {
  Code39,
  Upc,
  Ean,
  Code128,
  Code93,
  Code11,
  Interleaved2of5,
  Discrete2of5,
  Codabar,
  Msi,
  Postal,
  Rss,
  Composite,
  TwoD,
  Redundancy,
  OptionBC,
  OptionF029,
  Format,
  ScanTime,   // variant 3
  ScanTime4,  // variant 4; its parameter 6 is the channel's aimTime
};
inline constexpr int kSsiGroupCount = 20;
inline constexpr int kMaxSsiParameters = 15;

// Number of parameters (arguments) of a group.
int ssiGroupParameterCount(SsiGroup group);

// Reads ('r') or writes ('w') one group. parameters[i] refers to argument
// i + 1; a null pointer (or a missing entry) leaves it out.
//  - Read: true when the engine answered with a PARAM_SEND; the values it
//    reported are stored. An unanswered or refused request stores nothing.
//  - Write: false when nothing differs from the known values (nothing is
//    sent) or the engine did not take the parameters.
// False, sending nothing, when the barcode engine is not of a kind the group
// accepts or for another operation code. Takes the barcode channel's
// portLock (or runs under the caller's).
bool ssiGroupOperation(ReaderDevice &device, SsiGroup group, char operation,
                       std::span<int *const> parameters);
inline bool ssiGroupOperation(ReaderDevice &device, SsiGroup group, char operation,
                              std::initializer_list<int *> parameters) {
  return ssiGroupOperation(device, group, operation,
                           std::span<int *const>(parameters.begin(), parameters.size()));
}

// The engine went back to its own defaults: nothing is known any more.
void forgetSsiParameterValues();

// What the library knows of argument `parameter` (1-based) of a group:
// false when nothing is known.
bool knownSsiParameterValue(SsiGroup group, int parameter, int &value);

}  // namespace reader
