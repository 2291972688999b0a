#include "service_config.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/common/config_line.h"

namespace readerd {

namespace {

using reader::platform::common::ConfigLine;

constexpr std::size_t kFileLimit = 64 * 1024;

bool readNumber(std::string_view text, int base, long long minimum, long long maximum, long long &out) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum) return false;
  out = value;
  return true;
}

// Applies one setting; the problem in words when the value is refused.
std::string apply(ServiceConfig &config, std::string_view key, std::string_view value) {
  long long number = 0;
  if (key == "SOCKET") {
    if (!value.empty() && value.front() != '/') return "SOCKET must be an absolute path";
    config.socketPath = value;
  } else if (key == "SOCKET_GROUP") {
    config.socketGroup = value;
  } else if (key == "SOCKET_MODE") {
    if (!readNumber(value, 8, 0, 0777, number)) return "SOCKET_MODE must be an octal mode such as 0660";
    config.socketMode = static_cast<unsigned>(number);
  } else if (key == "CONTROL_GROUP") {
    config.controlGroup = value;
  } else if (key == "TCP_PORT") {
    if (value.empty()) {
      config.tcpPort = 0;
    } else if (!readNumber(value, 10, 0, 65535, number)) {
      return "TCP_PORT must be a port number, 1 to 65535 (0 or empty: none)";
    } else {
      config.tcpPort = static_cast<int>(number);
    }
  } else if (key == "QUEUE_LIMIT") {
    if (!readNumber(value, 10, 16, 1 << 20, number)) return "QUEUE_LIMIT must be a number of objects, 16 to 1048576";
    config.queueLimit = static_cast<std::size_t>(number);
  } else if (key == "RESTART_MAX_DELAY") {
    if (!readNumber(value, 10, 1, 3600, number)) return "RESTART_MAX_DELAY must be seconds, 1 to 3600";
    config.restartMaxDelaySeconds = static_cast<int>(number);
  } else if (key.substr(0, 7) == "READER_") {
    config.readerEnvironment[std::string(key)] = std::string(value);
  } else {
    return "unknown key " + std::string(key);
  }
  return {};
}

std::string kindText(ConfigLine::Kind kind) {
  switch (kind) {
    case ConfigLine::Kind::Nul: return "a NUL character";
    case ConfigLine::Kind::NoEquals: return "not KEY=VALUE";
    case ConfigLine::Kind::NoName: return "no key before '='";
    case ConfigLine::Kind::BadName: return "a key is capital letters, digits and '_'";
    case ConfigLine::Kind::NoClosingQuote: return "no closing '\"'";
    case ConfigLine::Kind::TextAfterQuote: return "text after the closing '\"'";
    default: return "not a setting";
  }
}

}  // namespace

ServiceConfigLoad parseServiceConfig(std::string_view text, const std::string &origin) {
  ServiceConfigLoad load;
  load.found = true;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    const ConfigLine parsed = reader::platform::common::parseConfigLine(line);
    const std::string where = origin + ":" + std::to_string(number) + ": ";
    if (parsed.kind == ConfigLine::Kind::Skipped) continue;
    if (parsed.kind != ConfigLine::Kind::Setting) {
      load.problems.push_back(where + kindText(parsed.kind) + "; the line is ignored");
      continue;
    }
    if (std::string problem = apply(load.config, parsed.key, parsed.value); !problem.empty())
      load.problems.push_back(where + problem + "; the line is ignored");
  }
  return load;
}

ServiceConfigLoad loadServiceConfig(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ServiceConfigLoad load;
    if (errno != ENOENT) load.problems.push_back(path + ": " + std::strerror(errno) + "; the defaults are used");
    return load;
  }
  std::string text(kFileLimit + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kFileLimit) {
    ServiceConfigLoad load;
    load.found = true;
    load.problems.push_back(path + ": larger than 64 KiB; the defaults are used");
    return load;
  }
  return parseServiceConfig(text, path);
}

std::string defaultConfigPath() {
  const char *given = std::getenv("READERD_CONFIG");
  if (given != nullptr && given[0] != '\0') return given;
  return "/etc/readerd.conf";
}

}  // namespace readerd
