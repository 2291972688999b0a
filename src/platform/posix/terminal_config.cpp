// The terminal's configuration file and the problems of a start.
//
// The file (READER_CONFIG, default /etc/reader3100xe.conf; an empty
// READER_CONFIG means no file) holds KEY=VALUE lines. Blank lines and lines
// whose first non-blank character is '#' are skipped; blanks around the key
// and the value are trimmed; a value in double quotes loses them (and keeps
// its inner blanks). '#' after a value is part of the value: device names and
// paths may contain it. A key is capital letters, digits and '_', as the
// environment variable of the same name. A line that breaks these rules is
// reported and ignored; a key given twice takes its last line, and the
// repeat is reported. A missing file is no problem: most terminals set
// everything in the environment, or nothing.
//
// The file is read at each reloadTerminalConfig, and at the first lookup
// when no reload came before it (tests and tools that use the backend's
// services without a start). It is opened without blocking and must be a
// regular file of at most kLargestFile bytes, so a path naming a FIFO or a
// device cannot hang or flood a start.
//
// Locking: readers copy a shared pointer to the loaded file under `mutex`
// and look up outside it; a reload reads and parses under `reloadMutex`
// only, publishes the new file under `mutex`, and reports the file's problems
// after letting go of both, because a trace line may reach a host listener
// that calls back into the library.
#include "platform/posix/terminal_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/common/config_line.h"
#include "platform/posix/process_state.h"
#include "platform/posix/terminal_setting_origin.h"
#include "platform/trace.h"

namespace reader::platform::posix {
namespace {

constexpr const char *kDefaultPath = "/etc/reader3100xe.conf";
constexpr std::size_t kLargestFile = 64 * 1024;
// Distinct problems kept per start; a device failing in ever new ways must
// not grow the start's message without bound.
constexpr std::size_t kProblemsKept = 32;
constexpr const char *kMoreProblems = "(further problems not listed)";

struct ConfigFile {
  std::string path;  // empty: no file configured
  std::map<std::string, std::string, std::less<>> values;
};

struct ConfigState {
  std::mutex reloadMutex;                  // one reading of the file at a time; taken before `mutex`
  std::mutex mutex;                        // file, problems, reported
  std::shared_ptr<const ConfigFile> file;  // nullptr until first read
  std::vector<std::string> problems;       // in the order reported
  std::set<std::string, std::less<>> reported;
};

READER_PROCESS_STATE ProcessState<ConfigState> gConfig;

std::string errorText(int error) {
  return std::generic_category().message(error) + " (errno " + std::to_string(error) + ")";
}

// A bad key as it may appear in a message: printable, and short.
std::string shownKey(std::string_view key) {
  constexpr std::size_t kShown = 40;
  std::string shown;
  for (char c : key.substr(0, kShown)) shown += c >= ' ' && c <= '~' ? c : '?';
  if (key.size() > kShown) shown += "...";
  return shown;
}

// The file's bytes, or nullopt when it is missing (no problem) or cannot be
// read (one problem in `problems`).
std::optional<std::string> readFile(const std::string &path, std::vector<std::string> &problems) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT) problems.push_back(path + ": " + errorText(errno));
    return std::nullopt;
  }
  std::optional<std::string> text;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    problems.push_back(path + ": " + errorText(errno));
  } else if (!S_ISREG(status.st_mode)) {
    problems.push_back(path + ": not a regular file");
  } else {
    std::string bytes;
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        problems.push_back(path + ": " + errorText(errno));
        break;
      }
      if (got == 0) {
        text = std::move(bytes);
        break;
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
      if (bytes.size() > kLargestFile) {
        problems.push_back(path + ": larger than " + std::to_string(kLargestFile) + " bytes; not read");
        break;
      }
    }
  }
  ::close(fd);
  return text;
}

// What is wrong with a line that is no setting; empty for a setting.
std::string faultText(const common::ConfigLine &line) {
  using Kind = common::ConfigLine::Kind;
  switch (line.kind) {
    case Kind::Skipped:
    case Kind::Setting: return {};
    case Kind::Nul: return "a NUL character";
    case Kind::NoEquals: return "no '=' (KEY=VALUE expected)";
    case Kind::NoName: return "no name before '='";
    case Kind::BadName:
      return "\"" + shownKey(line.key) + "\" is no setting name (capital letters, digits and '_' only)";
    case Kind::NoClosingQuote: return "no closing '\"'";
    case Kind::TextAfterQuote: return "text after the closing '\"'";
  }
  return {};
}

void parseLines(std::string_view text, ConfigFile &file, std::vector<std::string> &problems) {
  std::map<std::string, std::size_t, std::less<>> lineOfKey;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const common::ConfigLine line = common::parseConfigLine(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.kind == common::ConfigLine::Kind::Skipped) continue;

    const std::string where = file.path + " line " + std::to_string(number) + ": ";
    if (const std::string fault = faultText(line); !fault.empty()) {
      problems.push_back(where + fault + "; line ignored");
      continue;
    }
    const std::string_view key = line.key;
    const std::string_view value = line.value;
    const auto [earlier, first] = lineOfKey.try_emplace(std::string(key), number);
    if (!first) {
      problems.push_back(where + std::string(key) + " again (also on line " + std::to_string(earlier->second) +
                         "); this line counts");
      earlier->second = number;
    }
    file.values.insert_or_assign(std::string(key), std::string(value));
  }
}

std::shared_ptr<const ConfigFile> readConfigFile(std::vector<std::string> &problems) {
  auto file = std::make_shared<ConfigFile>();
  const char *configured = std::getenv("READER_CONFIG");
  file->path = configured != nullptr ? configured : kDefaultPath;
  if (file->path.empty()) return file;
  if (const std::optional<std::string> text = readFile(file->path, problems)) parseLines(*text, *file, problems);
  return file;
}

// Reads the file and publishes it; when `onlyIfUnread`, leaves an already
// read one (and the start's problems) alone. The file's problems are
// reported after both locks are let go.
std::shared_ptr<const ConfigFile> load(ConfigState &state, bool onlyIfUnread) {
  std::vector<std::string> problems;
  std::shared_ptr<const ConfigFile> file;
  {
    std::lock_guard reloading(state.reloadMutex);
    if (onlyIfUnread) {
      std::lock_guard lock(state.mutex);
      if (state.file) return state.file;
    }
    file = readConfigFile(problems);
    std::lock_guard lock(state.mutex);
    state.file = file;
    if (!onlyIfUnread) {
      state.problems.clear();
      state.reported.clear();
    }
  }
  for (const std::string &problem : problems) reportTerminalProblem(problem);
  return file;
}

std::shared_ptr<const ConfigFile> currentFile(ConfigState &state) {
  {
    std::lock_guard lock(state.mutex);
    if (state.file) return state.file;
  }
  return load(state, true);
}

}  // namespace

std::optional<TerminalSettingWithOrigin> terminalSettingWithOrigin(const char *name) {
  if (name == nullptr) return std::nullopt;
  if (const char *value = std::getenv(name)) return TerminalSettingWithOrigin{value, name};
  ConfigState *state = gConfig.get();
  if (state == nullptr) return std::nullopt;
  const std::shared_ptr<const ConfigFile> file = currentFile(*state);
  const auto found = file->values.find(std::string_view(name));
  if (found == file->values.end()) return std::nullopt;
  return TerminalSettingWithOrigin{found->second, std::string(name) + " in " + file->path};
}

std::optional<std::string> terminalSetting(const char *name) {
  std::optional<TerminalSettingWithOrigin> setting = terminalSettingWithOrigin(name);
  if (!setting) return std::nullopt;
  return std::move(setting->value);
}

void reloadTerminalConfig() {
  if (ConfigState *state = gConfig.get()) load(*state, false);
}

void reportTerminalProblem(const std::string &text) {
  if (text.empty()) return;
  ConfigState *state = gConfig.get();
  if (state == nullptr) return;
  const char *traced = text.c_str();
  {
    std::lock_guard lock(state->mutex);
    if (state->reported.count(text) != 0) return;
    if (state->problems.size() > kProblemsKept) return;
    state->reported.insert(text);
    if (state->problems.size() == kProblemsKept) traced = kMoreProblems;
    state->problems.push_back(traced);
  }
  if (traceEnabled()) traceLine(traced);
}

std::string terminalProblems() {
  ConfigState *state = gConfig.get();
  if (state == nullptr) return {};
  std::lock_guard lock(state->mutex);
  std::string text;
  for (const std::string &problem : state->problems) text += problem + "\r\n";
  return text;
}

}  // namespace reader::platform::posix
