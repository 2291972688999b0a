#include "reader_session.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "host_adapter.h"
#include "start_progress.h"

namespace readerctl {

ReaderSession::ReaderSession(const CliOptions &options, std::ostream &out, std::ostream &err)
    : options_(options), out_(out), err_(err) {}

ReaderSession::~ReaderSession() {
  if (started_) HaltReader(READER_DEVICE_ALL);
  if (traceTaken_) host::setTraceListener(nullptr, nullptr);
  terminal_.reset();
}

int ReaderSession::prepare(std::ostream &notice) {
  // The library reads READER_TRACE once. Where its trace reaches readerctl,
  // readerctl always takes it (for the link speeds) and prints it only when
  // asked; elsewhere the library prints it itself, so only when asked.
  traceTaken_ = host::setTraceListener(&ReaderSession::onTrace, this);
  if (traceTaken_ || options_.trace) host::enableTrace();
  if (!builtInTerminalAvailable() || std::getenv("READER_COM1") != nullptr || std::getenv("READER_COM2") != nullptr)
    return 0;
  int status = 0;
  terminal_ = startBuiltInTerminal(options_, notice, err_, status);
  return status;
}

void ReaderSession::presentBarcodes() {
  if (terminal_) terminal_->presentBarcodes();
}

int ReaderSession::start(bool showProgress) {
  {
    std::optional<StartProgress> progress;
    if (showProgress && !options_.trace) progress.emplace(err_);
    startResult_ = options_.useInitReaderEx ? InitReaderEx() : InitReader();
  }
  started_ = true;
  return startResult_;
}

bool ReaderSession::linkSpeedsKnown() const { return host::linkSpeed(1) >= 0; }

int ReaderSession::linkSpeed(int port) const { return std::max(0, host::linkSpeed(port)); }

void ReaderSession::printOpenFailures(int result, std::ostream &err) const {
  std::lock_guard lock(mutex_);
  for (const auto &[port, description] : openFailures_) {
    const bool behindFailure = result == READER_ERR_START_FAILED ||
                               (result == READER_ERR_BARCODE_FAILED && port == 1) ||
                               (result == READER_ERR_RFID_FAILED && port == 2);
    if (behindFailure) err << "readerctl: cannot open COM" << port << ": " << description << "\n";
  }
}

void ReaderSession::onTrace(const char *line, void *context) {
  auto *self = static_cast<ReaderSession *>(context);
  int port = 0, consumed = 0;
  std::lock_guard lock(self->mutex_);
  // "COM<n> open failed: <device>: <reason>"; a later open of the port that
  // succeeds ("COM<n> opened") makes it history.
  if (std::sscanf(line, "COM%d open failed: %n", &port, &consumed) == 1 && consumed > 0)
    self->openFailures_[port] = line + consumed;
  else if (std::sscanf(line, "COM%d opened%n", &port, &consumed) == 1 && consumed > 0 && line[consumed] == '\0')
    self->openFailures_.erase(port);
  if (self->options_.trace) self->err_ << "trace: " << line << "\n";
}

void ReaderSession::printTraffic(std::ostream &out) const {
  if (terminal_) terminal_->printTraffic(out);
}

}  // namespace readerctl
