#include "terminal_config_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/common/config_line.h"

namespace readerctl {

namespace {

constexpr const char *kDefaultPath = "/etc/reader3100xe.conf";
// The library refuses a larger file; so does readerctl, to agree with it.
constexpr std::uintmax_t kLargestFile = 64 * 1024;

}  // namespace

// Lines that are no setting are skipped: the library reports them.
TerminalConfig parseTerminalConfig(std::string_view text) {
  TerminalConfig config;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const reader::platform::common::ConfigLine line = reader::platform::common::parseConfigLine(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.kind == reader::platform::common::ConfigLine::Kind::Setting)
      config.insert_or_assign(std::string(line.key), std::string(line.value));
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
