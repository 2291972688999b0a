// Settings of the SSI engines: numbered parameters, read and written in
// groups (SsiGroup). A read sends PARAM_REQUEST with the group's numbers and
// walks the PARAM_SEND answer; a write sends PARAM_SEND with the pairs whose
// value differs from what the library last knew to be in the engine.
//
// What the library knows is kept per group and parameter in the engine's
// SsiKnownValues. An entry is known only after the engine reported the value
// or accepted it, and only for as long as the port stays open and nothing
// else sets the engine: every open and close of the port, and the defaults
// frame, forget every entry, as does a reset of the engine to its own
// defaults.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "core/port_lock.h"
#include "settings/settings_record_layout.h"  // SsiGroup
#include "settings/ssi_known_values.h"

namespace reader {

// Number of parameters (arguments) of a group.
int ssiGroupParameterCount(SsiGroup group);

// One use of an SSI engine's settings: its port, held, and what is known of
// its values.
struct SsiSession {
  const PortLock &port;
  SsiKnownValues &known;
};

// Reads ('r') or writes ('w') one group. parameters[i] refers to argument
// i + 1; a null pointer (or a missing entry) leaves it out.
//  - Read: true when the engine answered with a PARAM_SEND; the values it
//    reported are stored. An unanswered or refused request stores nothing.
//  - Write: false when nothing differs from the known values (nothing is
//    sent) or the engine did not take the parameters.
// False, sending nothing, when the barcode engine is not of a kind the group
// accepts or for another operation code.
bool ssiGroupOperation(const SsiSession &engine, SsiGroup group, char operation, std::span<int *const> parameters);
inline bool ssiGroupOperation(const SsiSession &engine, SsiGroup group, char operation,
                              std::initializer_list<int *> parameters) {
  return ssiGroupOperation(engine, group, operation, std::span<int *const>(parameters.begin(), parameters.size()));
}

}  // namespace reader
