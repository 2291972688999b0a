#include "json_reply.h"

#include <cstdlib>

namespace readerctl {

const JsonReply *JsonReply::member(std::string_view name) const {
  for (auto it = members.rbegin(); it != members.rend(); ++it)
    if (it->first == name) return &it->second;
  return nullptr;
}

std::optional<std::string> JsonReply::string(std::string_view name) const {
  const JsonReply *value = member(name);
  if (value == nullptr || value->kind != Kind::String) return std::nullopt;
  return value->text;
}

std::optional<double> JsonReply::number(std::string_view name) const {
  const JsonReply *value = member(name);
  if (value == nullptr || value->kind != Kind::Number) return std::nullopt;
  return value->numberValue;
}

std::optional<bool> JsonReply::boolean(std::string_view name) const {
  const JsonReply *value = member(name);
  if (value == nullptr || value->kind != Kind::Bool) return std::nullopt;
  return value->boolValue;
}

namespace {

constexpr int kDeepest = 32;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<JsonReply> whole(std::string &error) {
    JsonReply reply;
    skipSpace();
    if (value(reply, 0)) {
      skipSpace();
      if (position_ == text_.size()) return reply;
      error_ = "text after the value";
    }
    error = error_ + " at column " + std::to_string(position_ + 1);
    return std::nullopt;
  }

 private:
  char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
  bool take(char c) {
    if (position_ >= text_.size() || text_[position_] != c) return false;
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
  bool word(std::string_view word) {
    if (text_.substr(position_, word.size()) != word) return false;
    position_ += word.size();
    return true;
  }

  bool value(JsonReply &out, int depth) {
    if (depth > kDeepest) return fail("values nested too deep");
    const char c = peek();
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') {
      out.kind = JsonReply::Kind::String;
      return string(out.text);
    }
    if (word("true") || word("false")) {
      out.kind = JsonReply::Kind::Bool;
      out.boolValue = text_[position_ - 1] == 'e' && text_[position_ - 2] == 'u';  // "true", not "false"
      return true;
    }
    if (word("null")) return true;
    out.kind = JsonReply::Kind::Number;
    return number(out);
  }

  bool object(JsonReply &out, int depth) {
    out.kind = JsonReply::Kind::Object;
    take('{');
    skipSpace();
    if (take('}')) return true;
    for (;;) {
      skipSpace();
      std::string name;
      if (peek() != '"') return fail("expected a quoted member name");
      if (!string(name)) return false;
      skipSpace();
      if (!take(':')) return fail("expected ':' after a member name");
      skipSpace();
      JsonReply member;
      if (!value(member, depth + 1)) return false;
      out.members.emplace_back(std::move(name), std::move(member));
      skipSpace();
      if (take(',')) continue;
      if (take('}')) return true;
      return fail("expected ',' or '}'");
    }
  }

  bool array(JsonReply &out, int depth) {
    out.kind = JsonReply::Kind::Array;
    take('[');
    skipSpace();
    if (take(']')) return true;
    for (;;) {
      skipSpace();
      JsonReply item;
      if (!value(item, depth + 1)) return false;
      out.items.push_back(std::move(item));
      skipSpace();
      if (take(',')) continue;
      if (take(']')) return true;
      return fail("expected ',' or ']'");
    }
  }

  int digits() {
    int count = 0;
    while (peek() >= '0' && peek() <= '9') {
      ++position_;
      ++count;
    }
    return count;
  }

  // JSON's number grammar, checked before strtod reads it (strtod alone
  // takes hexadecimal, "inf" and "nan").
  bool number(JsonReply &out) {
    const std::size_t start = position_;
    take('-');
    if (!take('0') && digits() == 0) return fail("expected a value");
    if (take('.') && digits() == 0) return fail("expected digits after '.'");
    if (take('e') || take('E')) {
      if (!take('+')) take('-');
      if (digits() == 0) return fail("expected digits in the exponent");
    }
    out.text = std::string(text_.substr(start, position_ - start));
    out.numberValue = std::strtod(out.text.c_str(), nullptr);
    return true;
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
          // The writer's own form: a code point up to FF is that byte.
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

std::optional<JsonReply> parseJsonReply(std::string_view line, std::string &error) { return Reader(line).whole(error); }

}  // namespace readerctl
