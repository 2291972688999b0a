#include "settings_command.h"

#include <3100XE_DLL.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

#include "result_text.h"
#include "settings_fields.h"

namespace readerctl {

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

constexpr int kDone = 0;
constexpr int kLibraryFailed = 1;
constexpr int kUsage = 2;

const char *const kUsageText =
    "usage: readerctl settings get [--json]\n"
    "       readerctl settings set NAME=VALUE ...\n"
    "       readerctl settings reset [--mask N]\n"
    "       readerctl settings defaults [--json]\n";

int libraryFailed(const char *call, int code, std::ostream &err) {
  err << "readerctl settings: " << call << " failed with " << code << ": " << describeResult(code) << "\n";
  return kLibraryFailed;
}

int usage(std::ostream &err, const std::string &problem) {
  err << "readerctl settings: " << problem << "\n" << kUsageText;
  return kUsage;
}

// The fields worth showing: byte 0, the fitted engine's section, the options.
bool shown(const SettingsField &field, int engineKind) { return field.section == 0 || field.section == engineKind; }

bool isText(const SettingsField &field) { return field.kind == FieldKind::Text; }

std::string jsonString(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void printRecord(const Record &record, bool json, std::ostream &out) {
  const int engineKind = engineKindOf(record.data());
  bool first = true;
  if (json) out << "{";
  for (const SettingsField &field : settingsFields()) {
    if (!shown(field, engineKind)) continue;
    const std::string value = fieldValueText(field, record.data());
    if (json) {
      out << (first ? "\n  " : ",\n  ") << jsonString(field.name) << ": "
          << (isText(field) ? jsonString(value) : value);
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

// get and defaults: one call that fills the record, then the record printed.
int runPrintingCall(const std::vector<std::string> &args, const char *name, int (*call)(unsigned char *),
                    std::ostream &out, std::ostream &err) {
  bool json = false;
  std::string problem;
  if (!parseJsonFlag(args, json, problem)) return usage(err, problem);
  Record record{};
  const int result = call(record.data());
  if (result != READER_OK) return libraryFailed(name, result, err);
  printRecord(record, json, out);
  return kDone;
}

// Writes the changes, then reads the record back and shows each changed
// field as the reader now holds it: the library does not report an engine
// that refused a group, so the read-back is what tells.
int runSet(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  if (args.size() < 2) return usage(err, "set needs at least one NAME=VALUE");
  std::vector<std::pair<const SettingsField *, std::string>> changes;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string &arg = args[i];
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0) return usage(err, "expected NAME=VALUE, got '" + arg + "'");
    const std::string name = arg.substr(0, equals);
    const SettingsField *field = findSettingsField(name);
    if (field == nullptr) return usage(err, "unknown field '" + name + "'");
    changes.emplace_back(field, arg.substr(equals + 1));
  }
  Record record{};
  const int read = GetReaderSettings(record.data());
  if (read != READER_OK) return libraryFailed("GetReaderSettings", read, err);
  const int engineKind = engineKindOf(record.data());
  for (const auto &[field, value] : changes) {
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
  for (const auto &[field, value] : changes) {
    const std::string wanted = fieldValueText(*field, record.data());
    const std::string now = fieldValueText(*field, after.data());
    out << field->name << "=" << now;
    if (now != wanted) {
      out << "  (not taken: " << wanted << " was written)";
      allTaken = false;
    }
    out << "\n";
  }
  if (!allTaken) {
    err << "readerctl settings: the reader did not take every change\n";
    return kLibraryFailed;
  }
  return kDone;
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

int runReset(const std::vector<std::string> &args, std::ostream &err) {
  int mask = READER_DEVICE_ALL;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--mask" && i + 1 < args.size()) {
      if (!parseMask(args[++i], mask)) return usage(err, "bad mask '" + args[i] + "'");
    } else {
      return usage(err, "unexpected argument '" + args[i] + "'");
    }
  }
  const int result = ResetReaderToDefault(mask);
  if (result != READER_OK) return libraryFailed("ResetReaderToDefault", result, err);
  return kDone;
}

}  // namespace

int runSettingsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  if (args.empty()) return usage(err, "missing command");
  const std::string &command = args[0];
  if (command == "get") return runPrintingCall(args, "GetReaderSettings", GetReaderSettings, out, err);
  if (command == "set") return runSet(args, out, err);
  if (command == "reset") return runReset(args, err);
  if (command == "defaults") return runPrintingCall(args, "GetDllDefaultSettings", GetDllDefaultSettings, out, err);
  return usage(err, "unknown command '" + command + "'");
}

}  // namespace readerctl
