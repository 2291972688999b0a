#include "json_line.h"

#include <cstdlib>
#include <string>

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

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  JsonLineParse object() {
    JsonObject object;
    skipSpace();
    if (!take('{')) return failure("expected a JSON object");
    skipSpace();
    if (!take('}')) {
      for (;;) {
        skipSpace();
        std::string name;
        if (peek() != '"') return failure("expected a quoted field name");
        if (!string(name)) return failure(error_);
        skipSpace();
        if (!take(':')) return failure("expected ':' after a field name");
        skipSpace();
        JsonValue value;
        if (!this->value(value)) return failure(error_);
        object.fields[std::move(name)] = std::move(value);
        skipSpace();
        if (take(',')) continue;
        if (take('}')) break;
        return failure("expected ',' or '}'");
      }
    }
    skipSpace();
    if (position_ != text_.size()) return failure("text after the object");
    return {std::move(object), {}};
  }

 private:
  JsonLineParse failure(std::string message) const {
    return {std::nullopt, message + " at column " + std::to_string(position_ + 1)};
  }

  char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
  bool take(char c) {
    if (peek() != c || position_ >= text_.size()) return false;
    ++position_;
    return true;
  }
  void skipSpace() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t' ||
                                        text_[position_] == '\r' || text_[position_] == '\n'))
      ++position_;
  }
  bool fail(const char *message) {
    error_ = message;
    return false;
  }

  bool value(JsonValue &value) {
    const std::size_t start = position_;
    const char c = peek();
    bool ok = false;
    if (c == '"') {
      value.kind = JsonValue::Kind::String;
      ok = string(value.text);
    } else if (c == '{' || c == '[') {
      return fail("nested objects and arrays are not accepted");
    } else if (word("true")) {
      value.kind = JsonValue::Kind::Bool;
      value.boolean = true;
      ok = true;
    } else if (word("false")) {
      value.kind = JsonValue::Kind::Bool;
      ok = true;
    } else if (word("null")) {
      value.kind = JsonValue::Kind::Null;
      ok = true;
    } else {
      value.kind = JsonValue::Kind::Number;
      ok = number(value.number);
    }
    if (ok) value.json = std::string(text_.substr(start, position_ - start));
    return ok;
  }

  bool word(std::string_view word) {
    if (text_.substr(position_, word.size()) != word) return false;
    position_ += word.size();
    return true;
  }

  // JSON's number grammar, checked before strtod reads it (strtod alone
  // takes hexadecimal, "inf" and "nan").
  bool number(double &number) {
    const std::size_t start = position_;
    take('-');
    if (take('0')) {
    } else if (digits() == 0) {
      return fail("expected a value");
    }
    if (take('.') && digits() == 0) return fail("expected digits after '.'");
    if (take('e') || take('E')) {
      if (!take('+')) take('-');
      if (digits() == 0) return fail("expected digits in the exponent");
    }
    const std::string literal(text_.substr(start, position_ - start));
    number = std::strtod(literal.c_str(), nullptr);
    return true;
  }

  int digits() {
    int count = 0;
    while (peek() >= '0' && peek() <= '9') {
      ++position_;
      ++count;
    }
    return count;
  }

  bool hex4(unsigned &code) {
    if (text_.size() - position_ < 4) return fail("short \\u escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[position_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        return fail("bad \\u escape");
      }
    }
    return true;
  }

  static void appendUtf8(std::string &out, unsigned code) {
    if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
    } else {
      if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
      } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      }
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
  }

  bool string(std::string &out) {
    take('"');
    for (;;) {
      if (position_ >= text_.size()) return fail("unterminated string");
      const char c = text_[position_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (position_ >= text_.size()) return fail("unterminated string");
      const char escape = text_[position_++];
      switch (escape) {
        case '"':
        case '\\':
        case '/': out += escape; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code = 0;
          if (!hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low = 0;
            if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low >= 0xE000)
              return fail("unpaired surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return fail("unpaired surrogate");
          }
          if (code <= 0xFF) {
            out += static_cast<char>(code);
          } else {
            appendUtf8(out, code);
          }
          break;
        }
        default: return fail("bad escape in a string");
      }
    }
  }

  std::string_view text_;
  std::size_t position_ = 0;
  std::string error_;
};

}  // namespace

JsonLineParse parseJsonLine(std::string_view line) { return Parser(line).object(); }

}  // namespace readerd
