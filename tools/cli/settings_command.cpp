#include "settings_command.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "quoted_text.h"
#include "result_text.h"

namespace readerctl {

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;
using Action = SettingsRequest::Action;

constexpr int kDone = 0;
constexpr int kLibraryFailed = 1;
constexpr int kUsage = 2;

int libraryFailed(const char *call, int code, std::ostream &err) {
  err << "readerctl settings: " << call << " failed with " << code << ": " << describeResult(code) << "\n";
  return kLibraryFailed;
}

int usage(std::ostream &err, const std::string &problem) {
  err << "readerctl settings: " << problem << "\nsee 'readerctl help settings'\n";
  return kUsage;
}

// The fields worth showing: byte 0, the fitted engine's section, the options.
bool shown(const SettingsField &field, int engineKind) { return field.section == 0 || field.section == engineKind; }

bool isText(const SettingsField &field) { return field.kind == FieldKind::Text; }

// A field's value as a JSON value: a number, or a string for a text field.
std::string jsonValue(const SettingsField &field, const std::string &valueText) {
  return isText(field) ? jsonQuoted(valueText) : valueText;
}

void printRecord(const Record &record, bool json, std::ostream &out) {
  const int engineKind = engineKindOf(record.data());
  bool first = true;
  if (json) out << "{";
  for (const SettingsField &field : settingsFields()) {
    if (!shown(field, engineKind)) continue;
    const std::string value = fieldValueText(field, record.data());
    if (json) {
      out << (first ? "\n  " : ",\n  ") << jsonQuoted(field.name) << ": " << jsonValue(field, value);
    } else {
      out << field.name << "=" << value << "\n";
    }
    first = false;
  }
  if (json) out << "\n}\n";
}

// get / defaults: the optional --json is the only argument.
bool parseJsonFlag(const std::vector<std::string> &args, bool &json, std::string &problem) {
  json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "--json") {
      problem = "unexpected argument '" + args[i] + "'";
      return false;
    }
    json = true;
  }
  return true;
}

// Each NAME=VALUE names a known field and a value it takes; which engine is
// fitted is known only once the reader runs. --json may come anywhere.
bool parseChanges(const std::vector<std::string> &args, SettingsRequest &request, std::string &problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--json") {
      request.json = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0) {
      problem = "expected NAME=VALUE, got '" + arg + "'";
      return false;
    }
    const std::string name = arg.substr(0, equals);
    const SettingsField *field = findSettingsField(name);
    if (field == nullptr) {
      problem = "unknown field '" + name + "'";
      return false;
    }
    Record scratch{};
    if (!storeFieldValue(*field, arg.substr(equals + 1), scratch.data(), problem)) return false;
    request.changes.emplace_back(field, arg.substr(equals + 1));
  }
  if (request.changes.empty()) {
    problem = "set needs at least one NAME=VALUE";
    return false;
  }
  return true;
}

bool parseMask(std::string_view text, int &mask) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mask, base);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && mask >= 0;
}

bool parseResetMask(const std::vector<std::string> &args, int &mask, std::string &problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--mask" && i + 1 < args.size()) {
      if (!parseMask(args[++i], mask)) {
        problem = "bad mask '" + args[i] + "'";
        return false;
      }
    } else {
      problem = "unexpected argument '" + args[i] + "'";
      return false;
    }
  }
  return true;
}

// get and defaults: one call that fills the record, then the record printed.
int runPrintingCall(bool json, const char *name, int (*call)(unsigned char *), std::ostream &out, std::ostream &err) {
  Record record{};
  const int result = call(record.data());
  if (result != READER_OK) return libraryFailed(name, result, err);
  printRecord(record, json, out);
  return kDone;
}

// Writes the changes, then reads the record back and shows each changed
// field as the reader now holds it: the library does not report an engine
// that refused a group, so the read-back is what tells.
int runSet(const SettingsRequest &request, std::ostream &out, std::ostream &err) {
  Record record{};
  const int read = GetReaderSettings(record.data());
  if (read != READER_OK) return libraryFailed("GetReaderSettings", read, err);
  const int engineKind = engineKindOf(record.data());
  for (const auto &[field, value] : request.changes) {
    if (field->section != 0 && field->section != engineKind) {
      return usage(err, field->name + " belongs to the engine of kind " + std::to_string(field->section) +
                            (engineKind == 0 ? std::string(", but no engine is fitted")
                                             : ", but the fitted engine is of kind " + std::to_string(engineKind)));
    }
    std::string problem;
    if (!storeFieldValue(*field, value, record.data(), problem)) return usage(err, problem);
  }
  const int written = SetReaderSettings(record.data());
  if (written != READER_OK) return libraryFailed("SetReaderSettings", written, err);
  Record after{};
  const int reread = GetReaderSettings(after.data());
  if (reread != READER_OK) return libraryFailed("GetReaderSettings", reread, err);
  bool allTaken = true;
  // JSON: {"fields": {NAME: value now, ...}, "not_taken": {NAME: value written, ...}}.
  std::string heldJson, notTakenJson;
  std::vector<const SettingsField *> shownInJson;  // a field named twice is one member
  for (const auto &[field, value] : request.changes) {
    const std::string wanted = fieldValueText(*field, record.data());
    const std::string now = fieldValueText(*field, after.data());
    if (now != wanted) allTaken = false;
    if (request.json) {
      if (std::find(shownInJson.begin(), shownInJson.end(), field) != shownInJson.end()) continue;
      shownInJson.push_back(field);
      heldJson += (heldJson.empty() ? "" : ", ") + jsonQuoted(field->name) + ": " + jsonValue(*field, now);
      if (now != wanted)
        notTakenJson += (notTakenJson.empty() ? "" : ", ") + jsonQuoted(field->name) + ": " + jsonValue(*field, wanted);
      continue;
    }
    out << field->name << "=" << now;
    if (now != wanted) out << "  (not taken: " << wanted << " was written)";
    out << "\n";
  }
  if (request.json) out << "{\"fields\": {" << heldJson << "}, \"not_taken\": {" << notTakenJson << "}}\n";
  if (!allTaken) {
    err << "readerctl settings: the reader did not take every change\n";
    return kLibraryFailed;
  }
  return kDone;
}

}  // namespace

bool parseSettingsRequest(const std::vector<std::string> &args, SettingsRequest &request, std::string &problem) {
  if (args.empty()) {
    problem = "missing command";
    return false;
  }
  const std::string &command = args[0];
  if (command == "get" || command == "defaults") {
    request.action = command == "get" ? Action::Get : Action::Defaults;
    return parseJsonFlag(args, request.json, problem);
  }
  if (command == "set") {
    request.action = Action::Set;
    return parseChanges(args, request, problem);
  }
  if (command == "reset") {
    request.action = Action::Reset;
    return parseResetMask(args, request.mask, problem);
  }
  problem = "unknown command '" + command + "'";
  return false;
}

int runSettingsRequest(const SettingsRequest &request, std::ostream &out, std::ostream &err) {
  switch (request.action) {
    case Action::Get: return runPrintingCall(request.json, "GetReaderSettings", GetReaderSettings, out, err);
    case Action::Defaults:
      return runPrintingCall(request.json, "GetDllDefaultSettings", GetDllDefaultSettings, out, err);
    case Action::Set: return runSet(request, out, err);
    case Action::Reset: {
      const int result = ResetReaderToDefault(request.mask);
      return result == READER_OK ? kDone : libraryFailed("ResetReaderToDefault", result, err);
    }
  }
  return kUsage;
}

int runSettingsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  SettingsRequest request;
  std::string problem;
  if (!parseSettingsRequest(args, request, problem)) return usage(err, problem);
  return runSettingsRequest(request, out, err);
}

}  // namespace readerctl
