// A simulated terminal: one scan engine on COM port 1, one RFID module on
// COM port 2, and the terminal's identity, all as the host sees them through
// its environment.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "readersim/ascii_module.h"
#include "readersim/barcode.h"
#include "readersim/barcode_engine.h"
#include "readersim/hex_module.h"
#include "readersim/port_link.h"
#include "readersim/pty_device.h"
#include "readersim/rfid_module.h"
#include "readersim/sim_tag.h"
#include "readersim/ssi_engine.h"
#include "readersim/text_engine.h"

namespace readersim {

// One text of the terminal's identity: derived from the fitted devices,
// given, or left unset.
struct IdentityText {
  enum class Mode { Derived, Given, Unset };
  Mode mode = Mode::Derived;
  std::string text;

  static IdentityText derived() { return {}; }
  static IdentityText given(std::string text) { return {Mode::Given, std::move(text)}; }
  static IdentityText unset() { return {Mode::Unset, {}}; }
};

struct TerminalConfig {
  int engineKind = 3;  // 0 (none), 2, 3 or 4
  int moduleKind = 6;  // 0 (none), 5 or 6
  // Derived: "HLM3200XE" with a kind-5 module, else "HLM3100XE".
  IdentityText model;
  // Derived: engine character ('0', '2', '3', '4'), '-', '1' when a module
  // is fitted else '0'; e.g. "3-1".
  IdentityText hardwareInfo;
  // Derived: "SIM3100XE0001".
  IdentityText serialNumber;

  TextEngine::Options textEngine;
  SsiEngine::Options ssiEngine;  // its kind is taken from engineKind
  AsciiModule::Options asciiModule;
  HexModule::Options hexModule;
  bool pacing = false;
  // The environment names each port by a PortLink instead of its
  // pseudo-terminal, so that a device can be plugged in again (reconnect).
  bool stablePorts = false;

  // What the barcode engine has in view from the start (BarcodeEngine).
  std::vector<Barcode> barcodes;
  std::optional<Barcode> steadyBarcode;
  std::chrono::milliseconds decodeDelay{0};
  std::chrono::milliseconds repeatInterval = BarcodeEngine::kDefaultRepeatInterval;
  std::optional<std::chrono::milliseconds> sessionLimit;  // BarcodeEngine::setSessionLimit

  // What is in the RFID module's field from the start (RfidModule).
  std::vector<SimTag> tags;
};

struct EnvironmentEntry {
  std::string name;
  std::optional<std::string> value;  // nullopt: unset
};

class Terminal {
 public:
  // Throws std::invalid_argument for an unknown kind, barcodes the engine
  // refuses (or has no engine for) or tags without a module,
  // std::system_error when a pseudo-terminal cannot be made.
  explicit Terminal(TerminalConfig config);

  const TerminalConfig &config() const { return config_; }

  // The fitted devices; nullptr where none is fitted or the kind differs.
  PtyDevice *engine() const { return engine_.get(); }
  PtyDevice *module() const { return module_.get(); }
  BarcodeEngine *barcodeEngine() const;
  TextEngine *textEngine() const;
  SsiEngine *ssiEngine() const;
  AsciiModule *asciiModule() const;
  HexModule *hexModule() const;
  RfidModule *rfidModule() const;

  // What the barcode engine sees, whichever kind it is (BarcodeEngine). Each
  // gives a one-line error when no engine is fitted or it refuses the
  // barcode, nullopt when done.
  std::optional<std::string> presentBarcode(Barcode barcode) const;
  std::optional<std::string> presentNoRead() const;
  std::optional<std::string> presentSilence() const;
  std::optional<std::string> clearPresented() const;
  std::optional<std::string> setSteadyBarcode(std::optional<Barcode> barcode) const;

  // The RFID module's field, whichever kind is fitted (RfidModule). Each
  // gives a one-line error when no module is fitted or no tag has the UID,
  // nullopt when done. A tag goes in whatever its family: a module that
  // cannot see it (kind 6 and icode, sr176, srix4k) does not report it.
  std::optional<std::string> placeTag(SimTag tag) const;
  std::optional<std::string> removeTag(std::span<const std::uint8_t> uid) const;
  std::optional<std::string> clearTags() const;
  // Empty without a module.
  std::vector<SimTag> tags() const;
  std::optional<SimTag> tag(std::span<const std::uint8_t> uid) const;

  // READER_COM1, READER_COM2, READER_HW_INFO, READER_MODEL,
  // READER_SERIAL_NUMBER, in that order.
  std::vector<EnvironmentEntry> environment() const;
  // setenv/unsetenv for every entry. Not safe while other threads read the
  // environment.
  void applyEnvironment() const;

  // Plugs a fresh device of the configured kind in place of the engine or
  // the module (as after it vanished), on a pseudo-terminal of its own, and
  // points the port's name at it. It starts as the configuration says; a
  // module keeps the tags of its field, writes included. Throws
  // std::logic_error without stablePorts or without that device. The old
  // device and every pointer to it are gone.
  PtyDevice &reconnectEngine();
  PtyDevice &reconnectModule();

  static std::string derivedHardwareInfo(int engineKind, bool moduleFitted);

 private:
  std::unique_ptr<PtyDevice> makeEngine() const;
  std::unique_ptr<PtyDevice> makeModule() const;

  TerminalConfig config_;
  std::unique_ptr<PtyDevice> engine_;
  std::unique_ptr<PtyDevice> module_;
  std::unique_ptr<PortLink> engineLink_;
  std::unique_ptr<PortLink> moduleLink_;
};

}  // namespace readersim
