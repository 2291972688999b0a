// The terminal's configuration: a system file of KEY=VALUE lines (path from
// READER_CONFIG, default /etc/reader3100xe.conf), each key overridden by the
// environment variable of the same name; and the problems the terminal's
// drivers meet, kept for the next start's message.
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
