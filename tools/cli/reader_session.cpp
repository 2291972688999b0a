#include "reader_session.h"

#include <3100XE_DLL.h>

#include <cstdlib>
#include <cstring>
#include <readersim/readersim.h>

namespace readerctl {

namespace {

readersim::IdentityText identity(const std::optional<std::string> &value) {
  if (!value) return readersim::IdentityText::derived();
  if (*value == "none") return readersim::IdentityText::unset();
  return readersim::IdentityText::given(*value);
}

}  // namespace

ReaderSession::ReaderSession(const CliOptions &options, std::ostream &out, std::ostream &err)
    : options_(options), out_(out), err_(err) {}

ReaderSession::~ReaderSession() {
  if (started_) HaltReader(READER_DEVICE_ALL);
  ReaderHostSetOutputListener(nullptr, nullptr);
}

bool ReaderSession::prepare(std::ostream &notice) {
  // The library reads READER_TRACE once; readerctl always takes the trace
  // (for the link speeds) and prints it only when asked.
  setenv("READER_TRACE", "1", 1);
  ReaderHostSetOutputListener(&ReaderSession::onOutput, this);
  if (std::getenv("READER_COM1") != nullptr || std::getenv("READER_COM2") != nullptr) return true;
  readersim::TerminalConfig config;
  config.engineKind = options_.engineKind;
  config.moduleKind = options_.moduleKind;
  config.model = identity(options_.model);
  config.hardwareInfo = identity(options_.hardwareInfo);
  if (options_.serialNumber) config.serialNumber = readersim::IdentityText::given(*options_.serialNumber);
  if (options_.engineStartSpeed != 0) config.ssiEngine.startSpeed = options_.engineStartSpeed;
  config.pacing = options_.pacing;
  try {
    terminal_ = std::make_unique<readersim::Terminal>(config);
  } catch (const std::exception &e) {
    err_ << "readerctl: cannot start the simulated terminal: " << e.what() << "\n";
    return false;
  }
  terminal_->applyEnvironment();
  notice << "Using the built-in simulated terminal (READER_COM1 and READER_COM2 are unset):\n";
  for (const readersim::EnvironmentEntry &entry : terminal_->environment())
    notice << "  " << entry.name << "=" << (entry.value ? *entry.value : "(unset)") << "\n";
  return true;
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

void ReaderSession::onOutput(const ReaderOutput *output, void *context) {
  auto *self = static_cast<ReaderSession *>(context);
  if (output->kind == READER_OUTPUT_TRACE && output->text != nullptr) self->handleTrace(output->text);
}

void ReaderSession::handleTrace(const char *line) {
  int port = 0, speed = 0;
  std::lock_guard lock(mutex_);
  if (std::sscanf(line, "COM%d speed %d", &port, &speed) == 2) speeds_[port] = speed;
  if (options_.trace) err_ << "trace: " << line << "\n";
}

void ReaderSession::printTraffic(std::ostream &out) const {
  if (!terminal_) return;
  const std::pair<const char *, readersim::PtyDevice *> devices[] = {
      {"COM1 (engine)", terminal_->engine()}, {"COM2 (module)", terminal_->module()}};
  for (const auto &[name, device] : devices) {
    if (device == nullptr) continue;
    out << "Traffic on " << name << ":\n";
    for (const readersim::TrafficRecord &record : device->log().snapshot())
      out << "  " << readersim::describe(record) << "\n";
  }
}

}  // namespace readerctl
