// readerd.conf: the service's own settings and the environment it gives the
// library, in the terminal configuration file's line syntax (KEY=VALUE).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace readerd {

struct ServiceConfig {
  std::string socketPath;   // empty: defaultSocketPath()
  std::string socketGroup;  // empty: the service's own group
  unsigned socketMode = 0660;
  std::string controlGroup;  // empty: every local client may change the reader
  int tcpPort = 0;           // 0: no TCP listener
  std::size_t queueLimit = 1024;
  int restartMaxDelaySeconds = 30;
  // READER_* lines: the library's settings, set in the environment before
  // each start of the reader.
  std::map<std::string, std::string> readerEnvironment;

  bool operator==(const ServiceConfig &) const = default;
};

struct ServiceConfigLoad {
  ServiceConfig config;
  bool found = false;  // false: no file, the defaults
  // One line each, naming the file and line: what was ignored and why.
  std::vector<std::string> problems;
};

// Reads the file at `path`; a missing file is no problem (the defaults).
ServiceConfigLoad loadServiceConfig(const std::string &path);

// The same for a file's text; `origin` names it in the problems.
ServiceConfigLoad parseServiceConfig(std::string_view text, const std::string &origin);

// READERD_CONFIG when set, else /etc/readerd.conf.
std::string defaultConfigPath();

}  // namespace readerd
