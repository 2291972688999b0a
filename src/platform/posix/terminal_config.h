// The terminal's configuration: a system file of KEY=VALUE lines, with the
// environment winning over the file for every key.
//
// Private to the POSIX backend.
#pragma once

#include <optional>
#include <string>

namespace reader::platform::posix {
// The value of terminal setting `name`: the environment variable of that name when set, else the
// configuration file's line (read once per start, see reloadTerminalConfig), else nullopt.
std::optional<std::string> terminalSetting(const char *name);
// Re-reads the configuration file (called at each InitReader/InitReaderEx). Malformed lines are
// reported through reportTerminalProblem and ignored.
void reloadTerminalConfig();
// A problem with the terminal's configuration or one of its devices: traced once (a trace line,
// whether READER_TRACE is on or not is the trace's business) and kept for the next InitReaderEx
// message. The same text is reported once per start, not once per event.
void reportTerminalProblem(const std::string &text);
// The problems reported since the last reloadTerminalConfig, one per line ("\r\n"-ended).
std::string terminalProblems();
}  // namespace reader::platform::posix
