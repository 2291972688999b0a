// One readerctl command line, checked in full before anything is started:
// the global options, the command and its arguments. Only then is the
// simulated terminal made, the reader started, the command run and the
// reader halted.
#pragma once

#include <atomic>
#include <optional>
#include <ostream>
#include <variant>

#include "cli_options.h"
#include "scan_command.h"
#include "settings_command.h"
#include "tag_command.h"
#include "watch_command.h"

namespace readerctl {

struct InfoRequest {
  bool json = false;
};

struct Invocation {
  CliOptions options;
  std::variant<InfoRequest, SettingsRequest, ScanRequest, WatchRequest, TagRequest> request;
  // The socket of the readerd that serves the reader (--readerd, else
  // READERD_SOCKET); empty: readerctl starts the reader itself.
  std::string readerdSocket;
  // Standard error is a terminal (main() looks): a long start shows its
  // progress there.
  bool stderrIsTerminal = false;

  // scan, watch and tag watch run until a decode, a count or a stop signal.
  bool waitsForDecodes() const {
    const auto *tag = std::get_if<TagRequest>(&request);
    return std::holds_alternative<ScanRequest>(request) || std::holds_alternative<WatchRequest>(request) ||
           (tag != nullptr && std::holds_alternative<TagWatchRequest>(*tag));
  }
};

// nullopt when there is nothing to run: `status` is then 0 after --help,
// --version or `help` (the text on `out`), 2 after a usage error (the
// problem, the relevant usage line and where to find more on `err`).
// Starts nothing, and reads only READER_COM1, READER_COM2 and
// READERD_SOCKET of the environment.
std::optional<Invocation> parseInvocation(int argc, char **argv, std::ostream &out, std::ostream &err, int &status);

// Starts the reader (on Linux with the built-in simulated terminal when
// READER_COM1 and READER_COM2 are unset), runs the command on the calling
// thread and halts the reader; or, with a readerd socket, runs the command
// through readerd, which owns the reader. Returns the exit status: 0 done, 1 failed, 2 a usage
// error only the started reader shows. `stop` ends scan, watch and tag
// watch.
int runInvocation(const Invocation &invocation, std::ostream &out, std::ostream &err, const std::atomic<bool> &stop);

}  // namespace readerctl
