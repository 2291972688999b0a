// One run of the reader for a readerctl command: the built-in simulated
// terminal when no real ports are configured (Linux only), the start, and
// the halt.
#pragma once

#include <3100XE_DLL.h>

#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "built_in_terminal.h"
#include "cli_options.h"

namespace readerctl {

class ReaderSession {
 public:
  ReaderSession(const CliOptions &options, std::ostream &out, std::ostream &err);
  ~ReaderSession();
  ReaderSession(const ReaderSession &) = delete;
  ReaderSession &operator=(const ReaderSession &) = delete;

  // Starts the simulated terminal if one is used, and says so on `notice`;
  // the environment it sets is restored when the session ends.
  // Returns an exit status: 0 ready, 1 the terminal cannot be made, 2 its
  // engine refuses a barcode given (or there is no engine for it); with a
  // message for both.
  int prepare(std::ostream &notice);
  bool simulated() const { return terminal_ != nullptr; }

  // Puts the --barcode barcodes in front of the simulated engine, once the
  // command is ready for their decodes: an engine that triggers itself sends
  // a barcode as soon as it sees one. Does nothing with real devices.
  void presentBarcodes();

  // InitReader or InitReaderEx; returns its result. With `showProgress`
  // (standard error is a terminal) a progress line counts the seconds on
  // the error stream meanwhile, unless the trace is printed there.
  int start(bool showProgress = false);
  int startResult() const { return startResult_; }
  bool usedInitReaderEx() const { return options_.useInitReaderEx; }

  // Whether the link speeds can be known: the library tells them on POSIX
  // hosts (ReaderHostGetLinkSpeed), not on Windows.
  bool linkSpeedsKnown() const;
  // The line speed of COM port 1 or 2 while its device is present; 0 when
  // not present or unknown.
  int linkSpeed(int port) const;

  // After a start that failed with `result`: a line for each port behind the
  // failure that could not be opened, naming the device and the system's
  // reason, as the library's trace told them (so not on Windows, where the
  // trace does not reach readerctl).
  void printOpenFailures(int result, std::ostream &err) const;

  // Prints the simulated devices' traffic logs.
  void printTraffic(std::ostream &out) const;

 private:
  static void onTrace(const char *line, void *context);

  CliOptions options_;
  std::ostream &out_;
  std::ostream &err_;
  std::unique_ptr<BuiltInTerminal> terminal_;
  int startResult_ = 0;
  bool started_ = false;
  bool traceTaken_ = false;
  mutable std::mutex mutex_;
  std::map<int, std::string> openFailures_;  // by port: device and reason
};

}  // namespace readerctl
