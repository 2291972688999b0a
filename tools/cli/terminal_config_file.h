// The terminal's configuration file as readerctl reads it: the settings the
// library takes from the environment (READER_COM1, READER_TRIGGER_X11, ...)
// may also be KEY=VALUE lines of the file READER_CONFIG names (default
// /etc/reader3100xe.conf; READER_CONFIG set but empty: no file), and the
// environment wins. readerctl asks only whether a setting has a value; the
// library reports what is wrong with the file, so nothing here complains:
// a line it cannot read is skipped, a file it cannot read holds nothing.
//
// The lines read as the library reads them: blank lines and lines whose
// first non-blank character is '#' are skipped; blanks around key and value
// are trimmed; a value in double quotes loses them; '#' after a value is
// part of it; a key is capital letters, digits and '_'; the last line of a
// key counts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace readerctl {

using TerminalConfig = std::map<std::string, std::string, std::less<>>;

// The settings of a configuration file's text.
TerminalConfig parseTerminalConfig(std::string_view text);

// The settings of the file at `path`; none when it is missing, no regular
// file, too large or unreadable.
TerminalConfig readTerminalConfig(const std::string &path);

// The path of the configuration file; empty: none.
std::string terminalConfigPath();

// Setting `name`: the environment variable when set, else the file's line,
// else nullopt.
std::optional<std::string> terminalSetting(const char *name);

}  // namespace readerctl
