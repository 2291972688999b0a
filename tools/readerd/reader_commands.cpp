#include "reader_commands.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "hex_bytes.h"
#include "info_facts.h"
#include "reply_lines.h"
#include "result_text.h"
#include "settings_exchange.h"
#include "tag_exchange.h"
#include "tag_type_names.h"

namespace readerd {

namespace {

using readerctl::FieldKind;
using readerctl::SettingsField;

// The members a command reads itself; every other one of settings_set names
// a field.
bool isEnvelope(std::string_view name) { return name == "cmd" || name == "id"; }

// Devices that work after a start that returned `result`: the engine, the
// module.
bool engineStarted(int result) { return result == READER_OK || result == READER_ERR_RFID_FAILED; }
bool moduleStarted(int result) { return result == READER_OK || result == READER_ERR_BARCODE_FAILED; }

std::string notRunning(const JsonObject &request, const ReaderStart &start) {
  return errorLine(&request, "not_running",
                   "the reader is not running: " + start.function + " returned " + std::to_string(start.result) + " (" +
                       readerctl::describeResult(start.result) + ")");
}

// {"error":"reader_failed","id":...,"message":"...","result":N}
std::string readerFailed(const JsonObject &request, int result, std::string_view message) {
  return errorTo(&request, "reader_failed", message).field("result", result).line();
}

// An integer argument: absent gives `fallback`; nullopt for anything but a
// whole number from `low` to `high`.
std::optional<int> integerArgument(const JsonObject &request, std::string_view name, int fallback, int low, int high) {
  const JsonValue *value = request.find(name);
  if (value == nullptr) return fallback;
  if (value->kind != JsonValue::Kind::Number || value->number != std::floor(value->number) || value->number < low ||
      value->number > high)
    return std::nullopt;
  return static_cast<int>(value->number);
}

// A text argument: absent gives nullopt in `text`; false for a value that is
// no string.
bool textArgument(const JsonObject &request, std::string_view name, std::optional<std::string> &text) {
  const JsonValue *value = request.find(name);
  if (value == nullptr) return true;
  if (value->kind != JsonValue::Kind::String) return false;
  text = value->text;
  return true;
}

// A field's value as a member: a number, or a string for a text field.
void addFieldValue(JsonWriter &writer, const SettingsField &field, const std::string &text) {
  if (field.kind == FieldKind::Text) {
    writer.field(field.name, text);
  } else {
    writer.rawField(field.name, text);
  }
}

// The members every reply about a tag begins with, as readerctl's --json
// names them.
void addTagMembers(JsonWriter &writer, const readerctl::Tag &tag) {
  writer.field("type_code", tag.typeCode);
  if (const std::optional<char> letter = readerctl::tagTypeChar(tag.typeCode)) {
    writer.field("type_char", std::string_view(&*letter, 1));
  } else {
    writer.nullField("type_char");
  }
  if (const char *family = readerctl::tagFamilyName(tag.typeCode)) {
    writer.field("family", family);
  } else {
    writer.nullField("family");
  }
  const std::optional<readerctl::UidParts> parts = readerctl::uidParts(tag);
  writer.field("uid", tag.uid).field("uid_bytes", parts ? parts->uid : tag.uid);
  if (parts) {
    writer.field("flags", parts->flags);
  } else {
    writer.nullField("flags");
  }
}

std::string runInfo(const JsonObject &request, const ReaderStart &start) {
  const readerctl::InfoFacts facts = readerctl::gatherInfoFacts(start.function, start.result);
  JsonWriter reply = replyTo(&request, "info");
  reply.field("library_version", facts.libraryVersion);
  if (facts.serialNumber.empty()) {
    reply.nullField("serial_number");
  } else {
    reply.field("serial_number", facts.serialNumber);
  }
  JsonWriter started;
  started.field("function", facts.startFunction)
      .field("result", facts.startResult)
      .field("text", readerctl::describeResult(facts.startResult));
  reply.objectField("start", started);
  const auto device = [&](const char *name, readerctl::DeviceFound found, int speed) {
    if (found.kind == 0) {
      reply.nullField(name);
      return;
    }
    JsonWriter object;
    object.field("kind", found.kind).field("name", found.name);
    if (speed > 0) {
      object.field("link_speed", speed);
    } else {
      object.nullField("link_speed");
    }
    reply.objectField(name, object);
  };
  device("engine", readerctl::engineFound(facts.readerType), facts.engineSpeed);
  device("module", readerctl::moduleFound(facts.readerType), facts.moduleSpeed);
  return reply.field("reader_type", facts.readerType)
      .field("active_devices", facts.activeDevices)
      .field("trigger_keys", facts.triggerKeys)
      .line();
}

std::string runSettingsRead(const JsonObject &request, const ReaderStart &start, bool defaults) {
  const std::string_view name = defaults ? "settings_defaults" : "settings_get";
  if (!engineStarted(start.result) && !moduleStarted(start.result)) return notRunning(request, start);
  readerctl::SettingsCallFailure failure;
  const auto values = readerctl::readSettingsValues(defaults, failure);
  if (!values) return readerFailed(request, failure.result, readerctl::failureText(failure));
  JsonWriter fields;
  for (const readerctl::FieldValue &value : *values) addFieldValue(fields, *value.field, value.text);
  return replyTo(&request, name).objectField("fields", fields).line();
}

std::string runSettingsGet(const JsonObject &request, const ReaderStart &start) {
  return runSettingsRead(request, start, false);
}

std::string runSettingsDefaults(const JsonObject &request, const ReaderStart &start) {
  return runSettingsRead(request, start, true);
}

std::string runSettingsSet(const JsonObject &request, const ReaderStart &start) {
  std::vector<std::pair<const SettingsField *, std::string>> changes;
  std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> scratch{};
  for (const auto &[name, value] : request.fields) {
    if (isEnvelope(name)) continue;
    const SettingsField *field = readerctl::findSettingsField(name);
    if (field == nullptr) return errorLine(&request, "bad_argument", "unknown field '" + name + "'");
    if (value.kind != JsonValue::Kind::String && value.kind != JsonValue::Kind::Number)
      return errorLine(&request, "bad_argument", "the value of " + name + " is a number or a string");
    // A number as it was written ("12", "0x0C" only as a string).
    const std::string text = value.kind == JsonValue::Kind::String ? value.text : value.json;
    std::string problem;
    if (!readerctl::storeFieldValue(*field, text, scratch.data(), problem))
      return errorLine(&request, "bad_argument", problem);
    changes.emplace_back(field, text);
  }
  if (changes.empty())
    return errorLine(&request, "bad_argument", "settings_set needs at least one field: \"NAME\": VALUE");
  if (!engineStarted(start.result) && !moduleStarted(start.result)) return notRunning(request, start);
  // In record order, as settings_get lists them.
  std::stable_sort(changes.begin(), changes.end(),
                   [](const auto &a, const auto &b) { return a.first->offset < b.first->offset; });
  const readerctl::SettingsChangeOutcome outcome = readerctl::changeSettings(changes);
  if (outcome.failure) return readerFailed(request, outcome.failure->result, readerctl::failureText(*outcome.failure));
  if (!outcome.problem.empty()) return errorLine(&request, "bad_argument", outcome.problem);
  JsonWriter held, notTaken;
  for (const readerctl::SettingsChange &change : outcome.changes) {
    addFieldValue(held, *change.field, change.now);
    if (!change.taken()) addFieldValue(notTaken, *change.field, change.written);
  }
  return replyTo(&request, "settings_set").objectField("fields", held).objectField("not_taken", notTaken).line();
}

std::string runSettingsReset(const JsonObject &request, const ReaderStart &start) {
  const std::optional<int> mask =
      integerArgument(request, "mask", READER_DEVICE_BARCODE | READER_DEVICE_RFID, 0, READER_DEVICE_ALL);
  if (!mask) return errorLine(&request, "bad_argument", "\"mask\" is a device mask from 0 to 255");
  if (!engineStarted(start.result) && !moduleStarted(start.result)) return notRunning(request, start);
  const int result = ResetReaderToDefault(*mask);
  if (result != READER_OK)
    return readerFailed(request, result, readerctl::failureText({"ResetReaderToDefault", result}));
  return replyTo(&request, "settings_reset").field("result", result).line();
}

// Why tags cannot be read or written now; nullopt when they can.
std::optional<std::string> moduleUnavailable(const JsonObject &request, const ReaderStart &start) {
  if (!moduleStarted(start.result)) return notRunning(request, start);
  if (const std::optional<std::string> idle = readerctl::moduleNotAtWork())
    return errorLine(&request, "not_running", *idle);
  return std::nullopt;
}

std::string runTagRead(const JsonObject &request, const ReaderStart &start) {
  readerctl::TagReadRequest read;
  const std::optional<int> first = integerArgument(request, "start", -1, -1, 0xFFFF);
  const std::optional<int> length = integerArgument(request, "length", 16, 1, 128);
  const std::optional<bool> uidOnly = request.find("uid_only") ? request.boolean("uid_only") : false;
  if (!first) return errorLine(&request, "bad_argument", "\"start\" is a byte address, or -1 for the first data block");
  if (!length) return errorLine(&request, "bad_argument", "\"length\" is 1 to 128 bytes");
  if (!uidOnly) return errorLine(&request, "bad_argument", "\"uid_only\" is true or false");
  if (!textArgument(request, "key", read.key)) return errorLine(&request, "bad_argument", "\"key\" is a string");
  if (*uidOnly && (request.find("start") || request.find("length")))
    return errorLine(&request, "bad_argument",
                     "\"uid_only\" reads no data: \"start\" and \"length\" do not go with it");
  read.start = *first;
  read.length = *length;
  read.uid = *uidOnly;
  if (const std::optional<std::string> refused = moduleUnavailable(request, start)) return *refused;
  const readerctl::TagReadOutcome outcome = readerctl::readTag(read);
  if (outcome.result < 0) return readerFailed(request, outcome.result, readerctl::tagReadFailureText(outcome.result));
  JsonWriter reply = replyTo(&request, "tag_read");
  addTagMembers(reply, outcome.tag);
  reply.field("start", read.start);
  if (read.uid) {
    reply.nullField("data");
  } else {
    reply.field("data", readerctl::hexText(outcome.bytes));
  }
  return reply.line();
}

std::string runTagWrite(const JsonObject &request, const ReaderStart &start) {
  readerctl::TagWriteRequest write;
  const std::optional<int> first = integerArgument(request, "start", -1, -1, 0xFFFF);
  if (request.find("start") == nullptr || !first)
    return errorLine(&request, "bad_argument", "\"start\" is a byte address, or -1 for the first data block");
  std::optional<std::string> hex, text;
  if (!textArgument(request, "hex", hex) || !textArgument(request, "text", text) || hex.has_value() == text.has_value())
    return errorLine(&request, "bad_argument", "give the data once, as a \"hex\" or a \"text\" string");
  if (!textArgument(request, "key", write.key)) return errorLine(&request, "bad_argument", "\"key\" is a string");
  std::optional<std::string> bytes = text ? text : readerctl::parseHexBytes(*hex);
  if (!bytes) return errorLine(&request, "bad_argument", "\"hex\" takes two hexadecimal digits per byte");
  if (bytes->empty() || bytes->size() > 128)
    return errorLine(&request, "bad_argument",
                     "the data is " + std::to_string(bytes->size()) + " bytes; a write takes 1 to 128");
  write.start = *first;
  write.data = std::move(*bytes);
  if (const std::optional<std::string> refused = moduleUnavailable(request, start)) return *refused;
  const readerctl::TagWriteOutcome outcome = readerctl::writeTag(write);
  if (outcome.failure) return readerFailed(request, outcome.result, *outcome.failure);
  JsonWriter reply = replyTo(&request, "tag_write");
  addTagMembers(reply, outcome.tag);
  return reply.field("start", write.start)
      .field("written", static_cast<std::int64_t>(outcome.written))
      .field("requested", static_cast<std::int64_t>(write.data.size()))
      .line();
}

// settings_defaults resets both devices before it reads (it is
// GetDllDefaultSettings): a change, not a query.
constexpr std::array kCommands{
    ReaderCommand{"info", CommandAccess::Query, false, &runInfo},
    ReaderCommand{"settings_get", CommandAccess::Query, true, &runSettingsGet},
    ReaderCommand{"settings_defaults", CommandAccess::Change, true, &runSettingsDefaults},
    ReaderCommand{"settings_set", CommandAccess::Change, true, &runSettingsSet},
    ReaderCommand{"settings_reset", CommandAccess::Change, true, &runSettingsReset},
    ReaderCommand{"tag_read", CommandAccess::Action, true, &runTagRead},
    ReaderCommand{"tag_write", CommandAccess::Change, true, &runTagWrite},
};

}  // namespace

const ReaderCommand *findReaderCommand(std::string_view name) {
  for (const ReaderCommand &command : kCommands)
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace readerd
