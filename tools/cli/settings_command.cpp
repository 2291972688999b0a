#include "settings_command.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "quoted_text.h"

namespace readerctl {

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;  // scratch for checking values
using Action = SettingsRequest::Action;

constexpr int kDone = 0;
constexpr int kLibraryFailed = 1;
constexpr int kUsage = 2;

bool isText(const SettingsField &field) { return field.kind == FieldKind::Text; }

// A field's value as a JSON value: a number, or a string for a text field.
std::string jsonValue(const SettingsField &field, const std::string &valueText) {
  return isText(field) ? jsonQuoted(valueText) : valueText;
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

int settingsFailed(const std::string &text, std::ostream &err) {
  err << "readerctl settings: " << text << "\n";
  return kLibraryFailed;
}

int settingsUsage(const std::string &problem, std::ostream &err) {
  err << "readerctl settings: " << problem << "\nsee 'readerctl help settings'\n";
  return kUsage;
}

void printSettingsValues(const std::vector<FieldValue> &values, bool json, std::ostream &out) {
  bool first = true;
  if (json) out << "{";
  for (const FieldValue &value : values) {
    if (json) {
      out << (first ? "\n  " : ",\n  ") << jsonQuoted(value.field->name) << ": " << jsonValue(*value.field, value.text);
    } else {
      out << value.field->name << "=" << value.text << "\n";
    }
    first = false;
  }
  if (json) out << "\n}\n";
}

int printSettingsChanges(const std::vector<SettingsChange> &changes, bool json, std::ostream &out, std::ostream &err) {
  bool allTaken = true;
  // JSON: {"fields": {NAME: value now, ...}, "not_taken": {NAME: value written, ...}}.
  std::string heldJson, notTakenJson;
  std::vector<const SettingsField *> shownInJson;  // a field named twice is one member
  for (const SettingsChange &change : changes) {
    const SettingsField *field = change.field;
    if (!change.taken()) allTaken = false;
    if (json) {
      if (std::find(shownInJson.begin(), shownInJson.end(), field) != shownInJson.end()) continue;
      shownInJson.push_back(field);
      heldJson += (heldJson.empty() ? "" : ", ") + jsonQuoted(field->name) + ": " + jsonValue(*field, change.now);
      if (!change.taken())
        notTakenJson +=
            (notTakenJson.empty() ? "" : ", ") + jsonQuoted(field->name) + ": " + jsonValue(*field, change.written);
      continue;
    }
    out << field->name << "=" << change.now;
    if (!change.taken()) out << "  (not taken: " << change.written << " was written)";
    out << "\n";
  }
  if (json) out << "{\"fields\": {" << heldJson << "}, \"not_taken\": {" << notTakenJson << "}}\n";
  if (!allTaken) {
    err << "readerctl settings: the reader did not take every change\n";
    return kLibraryFailed;
  }
  return kDone;
}

int runSettingsRequest(const SettingsRequest &request, std::ostream &out, std::ostream &err) {
  switch (request.action) {
    case Action::Get:
    case Action::Defaults: {
      SettingsCallFailure failure;
      const auto values = readSettingsValues(request.action == Action::Defaults, failure);
      if (!values) return settingsFailed(failureText(failure), err);
      printSettingsValues(*values, request.json, out);
      return kDone;
    }
    case Action::Set: {
      const SettingsChangeOutcome outcome = changeSettings(request.changes);
      if (outcome.failure) return settingsFailed(failureText(*outcome.failure), err);
      if (!outcome.problem.empty()) return settingsUsage(outcome.problem, err);
      return printSettingsChanges(outcome.changes, request.json, out, err);
    }
    case Action::Reset: {
      const int result = ResetReaderToDefault(request.mask);
      return result == READER_OK ? kDone : settingsFailed(failureText({"ResetReaderToDefault", result}), err);
    }
  }
  return kUsage;
}

int runSettingsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  SettingsRequest request;
  std::string problem;
  if (!parseSettingsRequest(args, request, problem)) return settingsUsage(problem, err);
  return runSettingsRequest(request, out, err);
}

}  // namespace readerctl
