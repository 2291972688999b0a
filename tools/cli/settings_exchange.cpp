#include "settings_exchange.h"

#include <3100XE_DLL.h>

#include <array>

#include "result_text.h"

namespace readerctl {

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

bool shown(const SettingsField &field, int engineKind) { return field.section == 0 || field.section == engineKind; }

}  // namespace

std::string failureText(const SettingsCallFailure &failure) {
  return std::string(failure.call) + " failed with " + std::to_string(failure.result) + ": " +
         describeResult(failure.result);
}

std::optional<std::vector<FieldValue>> readSettingsValues(bool defaults, SettingsCallFailure &failure) {
  Record record{};
  const int result = defaults ? GetDllDefaultSettings(record.data()) : GetReaderSettings(record.data());
  if (result != READER_OK) {
    failure = {defaults ? "GetDllDefaultSettings" : "GetReaderSettings", result};
    return std::nullopt;
  }
  const int engineKind = engineKindOf(record.data());
  std::vector<FieldValue> values;
  for (const SettingsField &field : settingsFields()) {
    if (shown(field, engineKind)) values.push_back({&field, fieldValueText(field, record.data())});
  }
  return values;
}

SettingsChangeOutcome changeSettings(const std::vector<std::pair<const SettingsField *, std::string>> &changes) {
  SettingsChangeOutcome outcome;
  Record record{};
  if (const int read = GetReaderSettings(record.data()); read != READER_OK) {
    outcome.failure = SettingsCallFailure{"GetReaderSettings", read};
    return outcome;
  }
  const int engineKind = engineKindOf(record.data());
  for (const auto &[field, value] : changes) {
    if (field->section != 0 && field->section != engineKind) {
      outcome.problem = field->name + " belongs to the engine of kind " + std::to_string(field->section) +
                        (engineKind == 0 ? std::string(", but no engine is fitted")
                                         : ", but the fitted engine is of kind " + std::to_string(engineKind));
      return outcome;
    }
    if (!storeFieldValue(*field, value, record.data(), outcome.problem)) return outcome;
  }
  if (const int written = SetReaderSettings(record.data()); written != READER_OK) {
    outcome.failure = SettingsCallFailure{"SetReaderSettings", written};
    return outcome;
  }
  Record after{};
  if (const int reread = GetReaderSettings(after.data()); reread != READER_OK) {
    outcome.failure = SettingsCallFailure{"GetReaderSettings", reread};
    return outcome;
  }
  for (const auto &[field, value] : changes)
    outcome.changes.push_back({field, fieldValueText(*field, after.data()), fieldValueText(*field, record.data())});
  return outcome;
}

}  // namespace readerctl
