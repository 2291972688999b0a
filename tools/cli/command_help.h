// readerctl's help: the commands with their usage and options, the global
// options, and the few lines a usage error shows instead of all of it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace readerctl {

// `readerctl --help`: everything.
void printUsage(std::ostream &out);

// `readerctl help [TOPIC...]`: no topic lists the commands one line each;
// a command ("scan", "tag", "tag read") shows its usage and options;
// "options" the global options. False, printing nothing, for an unknown
// topic.
bool printHelp(const std::vector<std::string> &topic, std::ostream &out);

// `readerctl --version`: the tool's version and the library's (GetDllVer).
void printVersion(std::ostream &out);

// What a usage error shows after its one-line problem: the usage line of
// the command (and of the sub-command the first argument names), or of
// readerctl itself, and where the rest is. `optionProblem`: the problem is
// in the global options, `option` ("--engine") the one concerned, whose own
// help line is then shown.
std::string usageHint(const std::string &command, const std::vector<std::string> &arguments, bool optionProblem,
                      const std::string &option = {});

}  // namespace readerctl
