// The terminal's configuration: a system file of KEY=VALUE lines (its path in
// READER_CONFIG, by default /etc/reader3100xe.conf), under the environment,
// which wins for every key. Private to the POSIX backend.
#pragma once

#include <optional>
#include <string>

namespace reader::platform::posix {

// The value of terminal setting `name`: the environment variable of that name
// when set, else the configuration file's line (read at each start, see
// reloadTerminalConfig), else nullopt.
std::optional<std::string> terminalSetting(const char *name);
// Re-reads the configuration file (at each InitReader and InitReaderEx).
// Malformed lines are reported through reportTerminalProblem and ignored.
void reloadTerminalConfig();
// A problem with the terminal's configuration or one of its devices: traced
// once and kept for the next InitReaderEx message; the same text is reported
// once per start.
void reportTerminalProblem(const std::string &text);
// The problems reported since the last reloadTerminalConfig, one per line
// ("\r\n"-ended).
std::string terminalProblems();

}  // namespace reader::platform::posix
