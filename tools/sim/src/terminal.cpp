#include "readersim/terminal.h"

#include <stdlib.h>

#include <stdexcept>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

std::optional<std::string> resolve(const IdentityText &identity, std::string derived) {
  switch (identity.mode) {
    case IdentityText::Mode::Derived: return derived;
    case IdentityText::Mode::Given: return identity.text;
    case IdentityText::Mode::Unset: return std::nullopt;
  }
  return std::nullopt;
}

const std::string kNoEngine = "no barcode engine is fitted";
const std::string kNoModule = "no RFID module is fitted";

std::optional<std::string> refusalOf(const BarcodeEngine *engine, const Barcode &barcode) {
  if (engine == nullptr) return kNoEngine;
  if (auto why = engine->refusal(barcode)) return barcode.symbology.name + ": " + *why;
  return std::nullopt;
}

}  // namespace

std::unique_ptr<PtyDevice> Terminal::makeEngine() const {
  std::unique_ptr<PtyDevice> engine;
  switch (config_.engineKind) {
    case 0: return nullptr;
    case 2: engine = std::make_unique<TextEngine>(config_.textEngine); break;
    case 3:
    case 4: {
      auto options = config_.ssiEngine;
      options.kind = config_.engineKind;
      engine = std::make_unique<SsiEngine>(options);
      break;
    }
    default: throw std::invalid_argument("engine kind must be 0, 2, 3 or 4");
  }
  engine->setPacing(config_.pacing);
  auto *barcode = static_cast<BarcodeEngine *>(engine.get());
  barcode->setDecodeDelay(config_.decodeDelay);
  barcode->setRepeatInterval(config_.repeatInterval);
  barcode->setSessionLimit(config_.sessionLimit);
  return engine;
}

std::unique_ptr<PtyDevice> Terminal::makeModule() const {
  std::unique_ptr<PtyDevice> module;
  switch (config_.moduleKind) {
    case 0: return nullptr;
    case 5: module = std::make_unique<AsciiModule>(config_.asciiModule); break;
    case 6: module = std::make_unique<HexModule>(config_.hexModule); break;
    default: throw std::invalid_argument("module kind must be 0, 5 or 6");
  }
  module->setPacing(config_.pacing);
  return module;
}

Terminal::Terminal(TerminalConfig config) : config_(std::move(config)) {
  engine_ = makeEngine();
  module_ = makeModule();
  if (config_.stablePorts) {
    if (engine_) engineLink_ = std::make_unique<PortLink>(engine_->portPath());
    if (module_) moduleLink_ = std::make_unique<PortLink>(module_->portPath());
  }

  for (const Barcode &barcode : config_.barcodes) {
    if (auto error = presentBarcode(barcode)) throw std::invalid_argument(*error);
  }
  if (config_.steadyBarcode) {
    if (auto error = setSteadyBarcode(config_.steadyBarcode)) throw std::invalid_argument(*error);
  }
  for (const SimTag &tag : config_.tags) {
    if (auto error = placeTag(tag)) throw std::invalid_argument(*error);
  }
}

BarcodeEngine *Terminal::barcodeEngine() const { return dynamic_cast<BarcodeEngine *>(engine_.get()); }

std::optional<std::string> Terminal::presentBarcode(Barcode barcode) const {
  BarcodeEngine *engine = barcodeEngine();
  if (auto error = refusalOf(engine, barcode)) return error;
  engine->presentBarcode(std::move(barcode));
  return std::nullopt;
}

std::optional<std::string> Terminal::presentNoRead() const {
  BarcodeEngine *engine = barcodeEngine();
  if (engine == nullptr) return kNoEngine;
  engine->presentNoRead();
  return std::nullopt;
}

std::optional<std::string> Terminal::presentSilence() const {
  BarcodeEngine *engine = barcodeEngine();
  if (engine == nullptr) return kNoEngine;
  engine->presentSilence();
  return std::nullopt;
}

std::optional<std::string> Terminal::clearPresented() const {
  BarcodeEngine *engine = barcodeEngine();
  if (engine == nullptr) return kNoEngine;
  engine->clearPresented();
  return std::nullopt;
}

std::optional<std::string> Terminal::setSteadyBarcode(std::optional<Barcode> barcode) const {
  BarcodeEngine *engine = barcodeEngine();
  if (barcode) {
    if (auto error = refusalOf(engine, *barcode)) return error;
  } else if (engine == nullptr) {
    return kNoEngine;
  }
  engine->setSteadyBarcode(std::move(barcode));
  return std::nullopt;
}

std::optional<std::string> Terminal::placeTag(SimTag tag) const {
  RfidModule *module = rfidModule();
  if (module == nullptr) return kNoModule;
  module->placeTag(std::move(tag));
  return std::nullopt;
}

std::optional<std::string> Terminal::removeTag(std::span<const std::uint8_t> uid) const {
  RfidModule *module = rfidModule();
  if (module == nullptr) return kNoModule;
  if (!module->removeTag(uid)) return "no tag " + toHexText(uid) + " in the field";
  return std::nullopt;
}

std::optional<std::string> Terminal::clearTags() const {
  RfidModule *module = rfidModule();
  if (module == nullptr) return kNoModule;
  module->clearField();
  return std::nullopt;
}

std::vector<SimTag> Terminal::tags() const {
  RfidModule *module = rfidModule();
  return module == nullptr ? std::vector<SimTag>{} : module->tags();
}

std::optional<SimTag> Terminal::tag(std::span<const std::uint8_t> uid) const {
  RfidModule *module = rfidModule();
  return module == nullptr ? std::nullopt : module->tag(uid);
}

TextEngine *Terminal::textEngine() const { return dynamic_cast<TextEngine *>(engine_.get()); }
SsiEngine *Terminal::ssiEngine() const { return dynamic_cast<SsiEngine *>(engine_.get()); }
AsciiModule *Terminal::asciiModule() const { return dynamic_cast<AsciiModule *>(module_.get()); }
HexModule *Terminal::hexModule() const { return dynamic_cast<HexModule *>(module_.get()); }
RfidModule *Terminal::rfidModule() const { return dynamic_cast<RfidModule *>(module_.get()); }

PtyDevice &Terminal::reconnectEngine() {
  if (!engineLink_) throw std::logic_error("reconnectEngine needs an engine and stable ports");
  auto fresh = makeEngine();
  engineLink_->retarget(fresh->portPath());
  engine_ = std::move(fresh);
  return *engine_;
}

PtyDevice &Terminal::reconnectModule() {
  if (!moduleLink_) throw std::logic_error("reconnectModule needs a module and stable ports");
  auto fresh = makeModule();
  for (SimTag &tag : rfidModule()->tags()) static_cast<RfidModule &>(*fresh).placeTag(std::move(tag));
  moduleLink_->retarget(fresh->portPath());
  module_ = std::move(fresh);
  return *module_;
}

std::string Terminal::derivedHardwareInfo(int engineKind, bool moduleFitted) {
  char engine = engineKind == 2 || engineKind == 3 || engineKind == 4 ? static_cast<char>('0' + engineKind) : '0';
  return {engine, '-', moduleFitted ? '1' : '0'};
}

std::vector<EnvironmentEntry> Terminal::environment() const {
  auto path = [](const std::unique_ptr<PtyDevice> &device,
                 const std::unique_ptr<PortLink> &link) -> std::optional<std::string> {
    if (!device) return std::nullopt;
    return link ? link->path() : device->portPath();
  };
  return {
      {"READER_COM1", path(engine_, engineLink_)},
      {"READER_COM2", path(module_, moduleLink_)},
      {"READER_HW_INFO", resolve(config_.hardwareInfo, derivedHardwareInfo(config_.engineKind, module_ != nullptr))},
      {"READER_MODEL", resolve(config_.model, config_.moduleKind == 5 ? "HLM3200XE" : "HLM3100XE")},
      {"READER_SERIAL_NUMBER", resolve(config_.serialNumber, "SIM3100XE0001")},
  };
}

void Terminal::applyEnvironment() const {
  for (const auto &entry : environment()) {
    if (entry.value) {
      ::setenv(entry.name.c_str(), entry.value->c_str(), 1);
    } else {
      ::unsetenv(entry.name.c_str());
    }
  }
}

}  // namespace readersim
