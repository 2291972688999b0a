#include "reader_session.h"

#include <3100XE_DLL.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
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
  for (const auto &[name, value] : environmentBefore_) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
}

int ReaderSession::prepare(std::ostream &notice) {
  // The library reads READER_TRACE once; readerctl always takes the trace
  // (for the link speeds) and prints it only when asked.
  setenv("READER_TRACE", "1", 1);
  ReaderHostSetOutputListener(&ReaderSession::onOutput, this);
  if (std::getenv("READER_COM1") != nullptr || std::getenv("READER_COM2") != nullptr) return 0;
  readersim::TerminalConfig config;
  config.engineKind = options_.engineKind;
  config.moduleKind = options_.moduleKind;
  config.model = identity(options_.model);
  config.hardwareInfo = identity(options_.hardwareInfo);
  if (options_.serialNumber) config.serialNumber = readersim::IdentityText::given(*options_.serialNumber);
  if (options_.engineStartSpeed != 0) config.ssiEngine.startSpeed = options_.engineStartSpeed;
  config.pacing = options_.pacing;
  config.steadyBarcode = options_.steadyBarcode;
  config.tags = options_.tags;
  try {
    terminal_ = std::make_unique<readersim::Terminal>(config);
  } catch (const std::invalid_argument &e) {
    // The kinds are checked with the options: this is the steady barcode.
    err_ << "readerctl: --steady: " << e.what() << "\n";
    return 2;
  } catch (const std::exception &e) {
    err_ << "readerctl: cannot start the simulated terminal: " << e.what() << "\n";
    return 1;
  }
  if (const std::optional<std::string> refused = barcodeRefusal()) {
    err_ << "readerctl: --barcode: " << *refused << "\n";
    terminal_.reset();
    return 2;
  }
  noteUnreadable(options_.barcodes);
  if (options_.steadyBarcode) noteUnreadable({*options_.steadyBarcode});
  noteUnseenTags();
  for (const readersim::EnvironmentEntry &entry : terminal_->environment()) {
    const char *value = std::getenv(entry.name.c_str());
    environmentBefore_.emplace_back(entry.name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  terminal_->applyEnvironment();
  notice << "Using the built-in simulated terminal (READER_COM1 and READER_COM2 are unset):\n";
  for (const readersim::EnvironmentEntry &entry : terminal_->environment())
    notice << "  " << entry.name << "=" << (entry.value ? *entry.value : "(unset)") << "\n";
  return 0;
}

std::optional<std::string> ReaderSession::barcodeRefusal() const {
  if (options_.barcodes.empty()) return std::nullopt;
  const readersim::BarcodeEngine *engine = terminal_->barcodeEngine();
  if (engine == nullptr) return "the simulated terminal has no barcode engine";
  for (const readersim::Barcode &barcode : options_.barcodes) {
    if (std::optional<std::string> refused = engine->refusal(barcode)) return *refused;
  }
  return std::nullopt;
}

void ReaderSession::noteUnreadable(const std::vector<readersim::Barcode> &barcodes) const {
  for (const readersim::Barcode &barcode : barcodes) {
    const bool readable = options_.engineKind == 2 ? barcode.symbology.letter.has_value()
                                                   : barcode.symbology.ssiType.has_value();
    if (!readable) {
      err_ << "readerctl: note: the simulated engine of kind " << options_.engineKind << " cannot read "
           << barcode.symbology.name << ": it sees it and decodes nothing\n";
    }
  }
}

void ReaderSession::noteUnseenTags() const {
  if (terminal_->hexModule() == nullptr) return;
  for (const readersim::SimTag &tag : options_.tags) {
    if (tag.info().protocol != readersim::AirProtocol::None) continue;
    err_ << "readerctl: note: the simulated kind-6 module cannot see " << tag.info().name
         << " tags: it has the tag in its field and never reads it\n";
  }
}

void ReaderSession::presentBarcodes() {
  if (!terminal_) return;
  for (const readersim::Barcode &barcode : options_.barcodes) terminal_->presentBarcode(barcode);
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
