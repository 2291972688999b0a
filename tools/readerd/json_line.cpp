#include "json_line.h"

#include <string>

#include "json_reply.h"
#include "json_writer.h"

namespace readerd {

const JsonValue *JsonObject::find(std::string_view name) const {
  const auto found = fields.find(name);
  return found == fields.end() ? nullptr : &found->second;
}

std::optional<std::string> JsonObject::string(std::string_view name) const {
  const JsonValue *value = find(name);
  if (value == nullptr || value->kind != JsonValue::Kind::String) return std::nullopt;
  return value->text;
}

std::optional<double> JsonObject::number(std::string_view name) const {
  const JsonValue *value = find(name);
  if (value == nullptr || value->kind != JsonValue::Kind::Number) return std::nullopt;
  return value->number;
}

std::optional<bool> JsonObject::boolean(std::string_view name) const {
  const JsonValue *value = find(name);
  if (value == nullptr || value->kind != JsonValue::Kind::Bool) return std::nullopt;
  return value->boolean;
}

JsonLineParse parseJsonLine(std::string_view line) {
  std::string error;
  std::optional<readerctl::JsonReply> parsed = readerctl::parseJsonReply(line, error);
  if (!parsed) return {std::nullopt, error};
  using Kind = readerctl::JsonReply::Kind;
  if (parsed->kind != Kind::Object) return {std::nullopt, "a request is one JSON object, {...}"};
  JsonObject object;
  for (auto &[name, member] : parsed->members) {
    JsonValue value;
    switch (member.kind) {
      case Kind::String:
        value.kind = JsonValue::Kind::String;
        value.json = jsonString(member.text);
        value.text = std::move(member.text);
        break;
      case Kind::Number:
        value.kind = JsonValue::Kind::Number;
        value.number = member.numberValue;
        value.json = member.text;
        break;
      case Kind::Bool:
        value.kind = JsonValue::Kind::Bool;
        value.boolean = member.boolValue;
        value.json = member.boolValue ? "true" : "false";
        break;
      case Kind::Null: value.json = "null"; break;
      case Kind::Object:
      case Kind::Array: return {std::nullopt, "nested objects and arrays are not accepted (member \"" + name + "\")"};
    }
    object.fields[name] = std::move(value);  // a repeated name keeps the last value
  }
  return {std::move(object), {}};
}

}  // namespace readerd
