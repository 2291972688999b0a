// One line of the terminal's configuration file (KEY=VALUE), as the library
// and readerctl both read it. Header-only and standard C++ only: readerctl,
// a client of the public API, reads the same file with the same rules.
#pragma once

#include <string_view>

namespace reader::platform::common {

struct ConfigLine {
  enum class Kind {
    Skipped,         // blank, or a comment ('#' first)
    Setting,         // key and value hold the setting
    Nul,             // a NUL character
    NoEquals,        // no '='
    NoName,          // nothing before '='
    BadName,         // key holds a name outside [A-Z0-9_]
    NoClosingQuote,  // a value opened with '"' and not closed
    TextAfterQuote,  // text after the closing '"'
  };
  Kind kind = Kind::Skipped;
  std::string_view key;
  std::string_view value;
};

inline bool isConfigBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

inline std::string_view trimmedConfigText(std::string_view text) {
  while (!text.empty() && isConfigBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isConfigBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline bool isSettingName(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// Blanks around key and value are dropped; double quotes around a value keep
// its own blanks. A '#' after a value belongs to the value.
inline ConfigLine parseConfigLine(std::string_view line) {
  using Kind = ConfigLine::Kind;
  line = trimmedConfigText(line);
  if (line.empty() || line.front() == '#') return {};
  if (line.find('\0') != std::string_view::npos) return {Kind::Nul, {}, {}};
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {Kind::NoEquals, {}, {}};
  ConfigLine parsed{Kind::Setting, trimmedConfigText(line.substr(0, equals)),
                    trimmedConfigText(line.substr(equals + 1))};
  if (parsed.key.empty()) return {Kind::NoName, {}, {}};
  if (!isSettingName(parsed.key)) return {Kind::BadName, parsed.key, {}};
  if (!parsed.value.empty() && parsed.value.front() == '"') {
    const std::size_t close = parsed.value.find('"', 1);
    if (close == std::string_view::npos) return {Kind::NoClosingQuote, parsed.key, {}};
    if (close + 1 != parsed.value.size()) return {Kind::TextAfterQuote, parsed.key, {}};
    parsed.value = parsed.value.substr(1, close - 1);
  }
  return parsed;
}

}  // namespace reader::platform::common
