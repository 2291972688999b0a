#include "reader_session.h"

#include <3100XE_DLL.h>

#include <cstdio>
#include <cstdlib>

#include "host_adapter.h"

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

int ReaderSession::start() {
  startResult_ = options_.useInitReaderEx ? InitReaderEx() : InitReader();
  started_ = true;
  return startResult_;
}

int ReaderSession::linkSpeed(int port) const {
  std::lock_guard lock(mutex_);
  const auto it = speeds_.find(port);
  return it == speeds_.end() ? 0 : it->second;
}

void ReaderSession::onTrace(const char *line, void *context) {
  auto *self = static_cast<ReaderSession *>(context);
  int port = 0, speed = 0;
  std::lock_guard lock(self->mutex_);
  if (std::sscanf(line, "COM%d speed %d", &port, &speed) == 2) self->speeds_[port] = speed;
  if (self->options_.trace) self->err_ << "trace: " << line << "\n";
}

void ReaderSession::printTraffic(std::ostream &out) const {
  if (terminal_) terminal_->printTraffic(out);
}

}  // namespace readerctl
