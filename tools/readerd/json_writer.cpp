#include "json_writer.h"

#include <cmath>
#include <cstdio>

namespace readerd {

std::string jsonString(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 2);
  out += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte >= 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void JsonWriter::name(std::string_view name) {
  if (text_.size() > 1) text_ += ',';
  text_ += jsonString(name);
  text_ += ':';
}

JsonWriter &JsonWriter::field(std::string_view name, std::string_view value) {
  this->name(name);
  text_ += jsonString(value);
  return *this;
}

JsonWriter &JsonWriter::field(std::string_view name, std::int64_t value) {
  this->name(name);
  text_ += std::to_string(value);
  return *this;
}

JsonWriter &JsonWriter::field(std::string_view name, double value) {
  this->name(name);
  if (!std::isfinite(value)) {
    text_ += "null";  // JSON has no infinities
    return *this;
  }
  char number[32];
  std::snprintf(number, sizeof number, "%.17g", value);
  text_ += number;
  return *this;
}

JsonWriter &JsonWriter::field(std::string_view name, bool value) {
  this->name(name);
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter &JsonWriter::rawField(std::string_view name, std::string_view json) {
  this->name(name);
  text_ += json;
  return *this;
}

}  // namespace readerd
