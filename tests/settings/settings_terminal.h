// A simulated terminal for the settings tests: one barcode engine of the
// kind asked for (SSI engines already at their working speed, so a start
// need not wait for the slow probe), no RFID module, and the
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

class SimulatedTerminal {
 public:
  explicit SimulatedTerminal(int engineKind, bool keepsSpeedOnDefaults = false)
      : terminal_(configFor(engineKind, keepsSpeedOnDefaults)) {
    terminal_.applyEnvironment();
  }
  ~SimulatedTerminal() { HaltReader(READER_DEVICE_ALL); }

  readersim::TextEngine &textEngine() { return *terminal_.textEngine(); }
  readersim::SsiEngine &ssiEngine() { return *terminal_.ssiEngine(); }
  readersim::PtyDevice &engine() { return *terminal_.engine(); }

 private:
  static readersim::TerminalConfig configFor(int engineKind, bool keepsSpeedOnDefaults) {
    readersim::TerminalConfig config;
    config.ssiEngine.keepsSpeedOnDefaults = keepsSpeedOnDefaults;
    config.engineKind = engineKind;
    config.moduleKind = 0;
    config.ssiEngine.startSpeed = engineKind == 4 ? 38400 : 115200;
    return config;
  }

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
