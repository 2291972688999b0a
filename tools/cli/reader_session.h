// One run of the reader for a readerctl command: the built-in simulated
// terminal when no real ports are configured, the start, and the halt.
#pragma once

#include <3100XE_DLL.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli_options.h"

namespace readersim {
class Terminal;
}

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
  readersim::Terminal *terminal() const { return terminal_.get(); }

  // Puts the --barcode barcodes in front of the simulated engine, once the
  // command is ready for their decodes: an engine that triggers itself sends
  // a barcode as soon as it sees one. Does nothing with real devices.
  void presentBarcodes();

  // InitReader or InitReaderEx; returns its result.
  int start();
  int startResult() const { return startResult_; }
  bool usedInitReaderEx() const { return options_.useInitReaderEx; }

  // The last line speed the library set on COM port 1 or 2; 0 when unknown.
  int linkSpeed(int port) const;

  // Prints the simulated devices' traffic logs.
  void printTraffic(std::ostream &out) const;

 private:
  // Why the simulated engine cannot take the --barcode barcodes; nullopt
  // when it can.
  std::optional<std::string> barcodeRefusal() const;
  // Says which barcodes the engine has no type for, and so never decodes.
  void noteUnreadable(const std::vector<readersim::Barcode> &barcodes) const;
  // Says which --tag tags the module cannot see (a kind-6 module has no air
  // protocol for some families).
  void noteUnseenTags() const;
  static void onOutput(const ReaderOutput *output, void *context);
  void handleTrace(const char *line);

  CliOptions options_;
  std::ostream &out_;
  std::ostream &err_;
  std::unique_ptr<readersim::Terminal> terminal_;
  // The variables the simulated terminal set, as they were before: its
  // device paths must not outlive it.
  std::vector<std::pair<std::string, std::optional<std::string>>> environmentBefore_;
  int startResult_ = 0;
  bool started_ = false;
  mutable std::mutex mutex_;
  std::map<int, int> speeds_;
};

}  // namespace readerctl
