// The built-in simulated terminal on Linux: a readersim::Terminal, and the
// environment that points the library at it for as long as it lives.
#include <readersim/readersim.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "built_in_terminal.h"

namespace readerctl {

namespace {

readersim::IdentityText identity(const std::optional<std::string> &value) {
  if (!value) return readersim::IdentityText::derived();
  if (*value == "none") return readersim::IdentityText::unset();
  return readersim::IdentityText::given(*value);
}

class PtyTerminal final : public BuiltInTerminal {
 public:
  PtyTerminal(std::unique_ptr<readersim::Terminal> terminal, std::vector<readersim::Barcode> barcodes)
      : terminal_(std::move(terminal)), barcodes_(std::move(barcodes)) {}

  ~PtyTerminal() override {
    for (const auto &[name, value] : environmentBefore_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  // Sets the terminal's environment, keeping what it replaces.
  void applyEnvironment() {
    for (const readersim::EnvironmentEntry &entry : terminal_->environment()) {
      const char *value = std::getenv(entry.name.c_str());
      environmentBefore_.emplace_back(entry.name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    terminal_->applyEnvironment();
  }

  void presentBarcodes() override {
    for (const readersim::Barcode &barcode : barcodes_) terminal_->presentBarcode(barcode);
  }

  void printTraffic(std::ostream &out) const override {
    const std::pair<const char *, readersim::PtyDevice *> devices[] = {{"COM1 (engine)", terminal_->engine()},
                                                                       {"COM2 (module)", terminal_->module()}};
    for (const auto &[name, device] : devices) {
      if (device == nullptr) continue;
      out << "Traffic on " << name << ":\n";
      for (const readersim::TrafficRecord &record : device->log().snapshot())
        out << "  " << readersim::describe(record) << "\n";
    }
  }

 private:
  std::unique_ptr<readersim::Terminal> terminal_;
  std::vector<readersim::Barcode> barcodes_;
  // The variables the terminal set, as they were before: its device paths
  // must not outlive it.
  std::vector<std::pair<std::string, std::optional<std::string>>> environmentBefore_;
};

// Why the simulated engine cannot take the --barcode barcodes; nullopt when
// it can.
std::optional<std::string> barcodeRefusal(const readersim::Terminal &terminal, const CliOptions &options) {
  if (options.barcodes.empty()) return std::nullopt;
  const readersim::BarcodeEngine *engine = terminal.barcodeEngine();
  if (engine == nullptr) return "the simulated terminal has no barcode engine";
  for (const readersim::Barcode &barcode : options.barcodes) {
    if (std::optional<std::string> refused = engine->refusal(barcode)) return *refused;
  }
  return std::nullopt;
}

// Says which barcodes the engine has no type for, and so never decodes.
void noteUnreadable(const std::vector<readersim::Barcode> &barcodes, int engineKind, std::ostream &err) {
  for (const readersim::Barcode &barcode : barcodes) {
    const bool readable =
        engineKind == 2 ? barcode.symbology.letter.has_value() : barcode.symbology.ssiType.has_value();
    if (!readable) {
      err << "readerctl: note: the simulated engine of kind " << engineKind << " cannot read " << barcode.symbology.name
          << ": it sees it and decodes nothing\n";
    }
  }
}

// Says which --tag tags the module cannot see (a kind-6 module has no air
// protocol for some families).
void noteUnseenTags(const readersim::Terminal &terminal, const std::vector<readersim::SimTag> &tags,
                    std::ostream &err) {
  if (terminal.hexModule() == nullptr) return;
  for (const readersim::SimTag &tag : tags) {
    if (tag.info().protocol != readersim::AirProtocol::None) continue;
    err << "readerctl: note: the simulated kind-6 module cannot see " << tag.info().name
        << " tags: it has the tag in its field and never reads it\n";
  }
}

}  // namespace

bool builtInTerminalAvailable() { return true; }

std::unique_ptr<BuiltInTerminal> startBuiltInTerminal(const CliOptions &options, std::ostream &notice,
                                                      std::ostream &err, int &status) {
  readersim::TerminalConfig config;
  config.engineKind = options.engineKind;
  config.moduleKind = options.moduleKind;
  config.model = identity(options.model);
  config.hardwareInfo = identity(options.hardwareInfo);
  if (options.serialNumber) config.serialNumber = identity(options.serialNumber);
  if (options.engineStartSpeed != 0) config.ssiEngine.startSpeed = options.engineStartSpeed;
  config.pacing = options.pacing;
  config.steadyBarcode = options.steadyBarcode;
  config.tags = options.tags;
  std::unique_ptr<readersim::Terminal> terminal;
  try {
    terminal = std::make_unique<readersim::Terminal>(config);
  } catch (const std::invalid_argument &e) {
    // The kinds are checked with the options: this is the steady barcode.
    err << "readerctl: --steady: " << e.what() << "\n";
    status = 2;
    return nullptr;
  } catch (const std::exception &e) {
    err << "readerctl: cannot start the simulated terminal: " << e.what() << "\n";
    status = 1;
    return nullptr;
  }
  if (const std::optional<std::string> refused = barcodeRefusal(*terminal, options)) {
    err << "readerctl: --barcode: " << *refused << "\n";
    status = 2;
    return nullptr;
  }
  noteUnreadable(options.barcodes, options.engineKind, err);
  if (options.steadyBarcode) noteUnreadable({*options.steadyBarcode}, options.engineKind, err);
  noteUnseenTags(*terminal, options.tags, err);

  const readersim::Terminal &simulated = *terminal;
  auto started = std::make_unique<PtyTerminal>(std::move(terminal), options.barcodes);
  started->applyEnvironment();
  notice << "Using the built-in simulated terminal (READER_COM1 and READER_COM2 are unset):\n";
  for (const readersim::EnvironmentEntry &entry : simulated.environment())
    notice << "  " << entry.name << "=" << (entry.value ? *entry.value : "(unset)") << "\n";
  status = 0;
  return started;
}

}  // namespace readerctl
