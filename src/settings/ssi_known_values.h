// What the library knows of one SSI engine's parameter values: those the
// engine reported or accepted, per group and argument, so that a write sends
// only what differs. Known only for as long as the port stays open and
// nothing else sets the engine: the values belong to the barcode channel's
// settingsEpoch they were learnt in.
//
// Used under the engine's port lock only (through SsiSession).
#pragma once

#include <array>
#include <cstdint>

#include "settings/settings_record_layout.h"  // SsiGroup

namespace reader {

// The most parameters (arguments) an SSI group has.
inline constexpr int kMaxSsiParameters = 15;

class SsiKnownValues {
 public:
  // Forgets everything learnt in another settingsEpoch than `epoch`.
  void keepOnly(std::uint32_t epoch) {
    if (epoch == epoch_) return;
    forget();
    epoch_ = epoch;
  }
  void forget() { entries_ = {}; }
  void remember(SsiGroup group, int index, int value) { entries_[slot(group)][index] = {value, true}; }
  // `index` is 0-based; false when nothing is known.
  bool find(SsiGroup group, int index, int &value) const {
    if (index < 0 || index >= kMaxSsiParameters) return false;
    const Entry &entry = entries_[slot(group)][index];
    if (entry.known) value = entry.value;
    return entry.known;
  }

 private:
  struct Entry {
    int value = 0;
    bool known = false;
  };
  static std::size_t slot(SsiGroup group) { return static_cast<std::size_t>(group); }

  std::array<std::array<Entry, kMaxSsiParameters>, kSsiGroupCount> entries_{};
  std::uint32_t epoch_ = 0;
};

}  // namespace reader
