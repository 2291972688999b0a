// One run of the reader for a readerctl command: the built-in simulated
// terminal when no real ports are configured, the start, and the halt.
#pragma once

#include <3100XE_DLL.h>

#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

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
  // false (with a message) when it cannot be made.
  bool prepare(std::ostream &notice);
  bool simulated() const { return terminal_ != nullptr; }
  readersim::Terminal *terminal() const { return terminal_.get(); }

  // InitReader or InitReaderEx; returns its result.
  int start();
  int startResult() const { return startResult_; }
  bool usedInitReaderEx() const { return options_.useInitReaderEx; }

  // The last line speed the library set on COM port 1 or 2; 0 when unknown.
  int linkSpeed(int port) const;

  // Prints the simulated devices' traffic logs.
  void printTraffic(std::ostream &out) const;

 private:
  static void onOutput(const ReaderOutput *output, void *context);
  void handleTrace(const char *line);

  CliOptions options_;
  std::ostream &out_;
  std::ostream &err_;
  std::unique_ptr<readersim::Terminal> terminal_;
  int startResult_ = 0;
  bool started_ = false;
  mutable std::mutex mutex_;
  std::map<int, int> speeds_;
};

}  // namespace readerctl
