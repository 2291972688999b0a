// The settings calls as readerctl and readerd make them through the
// library's public interface, their outcomes as values: the fields shown
// and their values, the changes as read back. readerctl prints them, readerd
// sends them; readerctl prints readerd's the same way.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings_fields.h"

namespace readerctl {

// A field and its value as text: a number, or the text of a text field.
struct FieldValue {
  const SettingsField *field = nullptr;
  std::string text;
};

// A call of the library that did not return 1.
struct SettingsCallFailure {
  const char *call = "";  // "GetReaderSettings"
  int result = 0;
};
// "GetReaderSettings failed with -121: null settings record"
std::string failureText(const SettingsCallFailure &failure);

// The fields worth showing (byte 0, the fitted engine's section, the
// library options) in record order, from GetReaderSettings or (`defaults`)
// GetDllDefaultSettings; nullopt with `failure` set when the call failed.
std::optional<std::vector<FieldValue>> readSettingsValues(bool defaults, SettingsCallFailure &failure);

// One change asked for, as read back: what the reader now holds, and what was
// written (the two differ when the reader did not take it).
struct SettingsChange {
  const SettingsField *field = nullptr;
  std::string now;
  std::string written;
  bool taken() const { return now == written; }
};

struct SettingsChangeOutcome {
  std::optional<SettingsCallFailure> failure;
  // A change the fitted engine cannot take (a field of another engine):
  // nothing was written.
  std::string problem;
  // One per change asked for, in the order asked.
  std::vector<SettingsChange> changes;
};

// Reads the record, changes the fields (each value one the field takes:
// parsed before), writes it and reads it back. The changes are read back
// because the library does not report an engine that refused a group.
SettingsChangeOutcome changeSettings(const std::vector<std::pair<const SettingsField *, std::string>> &changes);

}  // namespace readerctl
