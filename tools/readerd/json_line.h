// Reads one request line: a flat JSON object whose values are strings,
// numbers, booleans or null. Whitespace anywhere JSON allows it, and a
// trailing carriage return, are accepted; nested objects and arrays are
// refused by name, so a client learns what is wrong. The JSON itself is read
// by readerctl's reader of readerd's replies: one grammar for both ends.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace readerd {

struct JsonValue {
  enum class Kind { String, Number, Bool, Null };
  Kind kind = Kind::Null;
  std::string text;  // String: the decoded bytes
  double number = 0;
  bool boolean = false;
  std::string json;  // the value in JSON, for echoing it back (a number as it was written)
};

struct JsonObject {
  std::map<std::string, JsonValue, std::less<>> fields;

  const JsonValue *find(std::string_view name) const;
  // The field when it is a string (a number, a boolean), else nullopt.
  std::optional<std::string> string(std::string_view name) const;
  std::optional<double> number(std::string_view name) const;
  std::optional<bool> boolean(std::string_view name) const;
};

struct JsonLineParse {
  std::optional<JsonObject> object;
  std::string error;  // one line; empty when object is set
};

// \u escapes up to 00FF give that byte (the writer's own form); higher code
// points are stored as UTF-8. A duplicate name keeps the last value.
JsonLineParse parseJsonLine(std::string_view line);

}  // namespace readerd
