#include "terminal_config_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace readerctl {

namespace {

constexpr const char *kDefaultPath = "/etc/reader3100xe.conf";
// The library refuses a larger file; so does readerctl, to agree with it.
constexpr std::uintmax_t kLargestFile = 64 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool isSettingName(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// The value of a line's text after '='; nullopt when it is malformed.
std::optional<std::string_view> lineValue(std::string_view value) {
  value = trimmed(value);
  if (value.empty() || value.front() != '"') return value;
  const std::size_t close = value.find('"', 1);
  if (close == std::string_view::npos || close + 1 != value.size()) return std::nullopt;
  return value.substr(1, close - 1);
}

}  // namespace

TerminalConfig parseTerminalConfig(std::string_view text) {
  TerminalConfig config;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.find('\0') != std::string_view::npos) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::optional<std::string_view> value = lineValue(line.substr(equals + 1));
    if (!isSettingName(key) || !value) continue;
    config.insert_or_assign(std::string(key), std::string(*value));
  }
  return config;
}

TerminalConfig readTerminalConfig(const std::string &path) {
  // Only a regular file: opening a FIFO or a device could block or never end.
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return {};
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kLargestFile) return {};
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  std::string text;
  text.reserve(static_cast<std::size_t>(size));
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad() || text.size() > kLargestFile) return {};
  return parseTerminalConfig(text);
}

std::string terminalConfigPath() {
  const char *configured = std::getenv("READER_CONFIG");
  return configured != nullptr ? configured : kDefaultPath;
}

std::optional<std::string> terminalSetting(const char *name) {
  if (const char *value = std::getenv(name)) return value;
  const TerminalConfig config = readTerminalConfig(terminalConfigPath());
  const auto found = config.find(std::string_view(name));
  if (found == config.end()) return std::nullopt;
  return found->second;
}

}  // namespace readerctl
