// A simulated terminal for the settings tests: one barcode engine of the
// kind asked for (SSI engines already at their working speed, so a start
// need not wait for the slow probe), no RFID module unless asked, and the
// settings record as a value type.
#pragma once

#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "readersim/terminal.h"

namespace settings_testing {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

inline readersim::TerminalConfig terminalConfig(int engineKind, int moduleKind = 0) {
  readersim::TerminalConfig config;
  config.engineKind = engineKind;
  config.moduleKind = moduleKind;
  config.ssiEngine.startSpeed = engineKind == 4 ? 38400 : 115200;
  return config;
}

class SimulatedTerminal {
 public:
  explicit SimulatedTerminal(readersim::TerminalConfig config) : terminal_(std::move(config)) {
    terminal_.applyEnvironment();
  }
  explicit SimulatedTerminal(int engineKind, int moduleKind = 0)
      : SimulatedTerminal(terminalConfig(engineKind, moduleKind)) {}
  ~SimulatedTerminal() { HaltReader(READER_DEVICE_ALL); }

  readersim::Terminal &terminal() { return terminal_; }
  readersim::TextEngine &textEngine() { return *terminal_.textEngine(); }
  readersim::SsiEngine &ssiEngine() { return *terminal_.ssiEngine(); }

 private:
  readersim::Terminal terminal_;
};

inline Record getSettings() {
  Record record;
  record.fill(0xA5);
  EXPECT_EQ(GetReaderSettings(record.data()), 1);
  return record;
}

inline void setSettings(const Record &record) { EXPECT_EQ(SetReaderSettings(record.data()), 1); }

// Frames the engine received from now on.
class TrafficSince {
 public:
  explicit TrafficSince(readersim::PtyDevice &device) : device_(device), start_(device.framesReceived().size()) {}
  std::vector<std::vector<std::uint8_t>> frames() const {
    auto all = device_.framesReceived();
    return {all.begin() + static_cast<std::ptrdiff_t>(start_), all.end()};
  }

 private:
  readersim::PtyDevice &device_;
  std::size_t start_;
};

}  // namespace settings_testing
