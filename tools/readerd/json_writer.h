// Builds one JSON object as text, for the protocol's one-object lines.
// Strings are byte strings: printable ASCII as it is, every other byte
// escaped as the code point of its value (0 to 255), so any data a device
// sends survives the trip and the line stays valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace readerd {

class JsonWriter {
 public:
  JsonWriter &field(std::string_view name, std::string_view value);
  JsonWriter &field(std::string_view name, const char *value) { return field(name, std::string_view(value)); }
  JsonWriter &field(std::string_view name, std::int64_t value);
  JsonWriter &field(std::string_view name, int value) { return field(name, static_cast<std::int64_t>(value)); }
  JsonWriter &field(std::string_view name, double value);
  JsonWriter &field(std::string_view name, bool value);
  // A value already in JSON form (a number or string taken from a request).
  JsonWriter &rawField(std::string_view name, std::string_view json);
  // Another writer's object as this member's value.
  JsonWriter &objectField(std::string_view name, const JsonWriter &object) { return rawField(name, object.object()); }
  JsonWriter &nullField(std::string_view name) { return rawField(name, "null"); }

  // The object without a line end, to nest it in another.
  std::string object() const { return text_ + "}"; }

  // The object and its line end.
  std::string line() const { return text_ + "}\n"; }

 private:
  void name(std::string_view name);
  std::string text_ = "{";
};

// `bytes` as a JSON string literal, quotes included.
std::string jsonString(std::string_view bytes);

}  // namespace readerd
