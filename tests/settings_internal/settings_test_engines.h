// A ReaderDevice whose barcode channel is open on a simulated engine, for the
// tests of the settings operations below the API.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/port_lock.h"
#include "core/reader_device.h"
#include "core/serial_channel.h"
#include "readersim/ssi_engine.h"
#include "readersim/text_engine.h"
#include "settings/ssi_known_values.h"

namespace settings_testing {

// Opens COM1 on `portPath` at `speed` as an engine of `kind`; the text
// engine's configuration block is read as the open routine reads it.
inline void openBarcodeChannel(reader::ReaderDevice &device, const std::string &portPath, int kind, int speed) {
  ::setenv("READER_COM1", portPath.c_str(), 1);
  reader::DeviceChannel &channel = device.barcode;
  channel.portNumber = 1;
  const auto lock = reader::PortLock::take(channel);
  if (!reader::openPort(*lock)) throw std::runtime_error("cannot open " + portPath);
  reader::setBaud(*lock, speed);
  channel.kind = kind;
  if (kind == reader::DeviceKind::TextEngine) {
    reader::readConfiguration(*lock, channel.configBlock);
    reader::configBlockChanged(channel);
  }
}

// The engine's port lock for one call: the temporary lives to the end of the
// statement.
inline reader::PortLock portOf(reader::ReaderDevice &device) {
  return std::move(*reader::PortLock::take(device.barcode));
}

struct TextEngineDevice {
  explicit TextEngineDevice(readersim::TextEngine::Options options = {}) : engine(std::move(options)) {
    openBarcodeChannel(device, engine.portPath(), reader::DeviceKind::TextEngine, readersim::TextEngine::kSpeed);
  }
  // The number of SAVE commands the engine received.
  std::size_t saves() const {
    std::size_t n = 0;
    for (const std::string &c : engine.commands()) n += c.rfind("SAVE", 0) == 0 ? 1 : 0;
    return n;
  }

  reader::PortLock port() { return portOf(device); }

  readersim::TextEngine engine;
  reader::ReaderDevice device;
};

struct SsiEngineDevice {
  explicit SsiEngineDevice(int kind) : engine({.kind = kind, .variantByte = {}, .startSpeed = 38400}) {
    openBarcodeChannel(device, engine.portPath(), kind, engine.speed());
  }
  // The data bytes of the PARAM_SEND packets the engine received.
  std::vector<std::vector<std::uint8_t>> sends() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto &packet : engine.packetsReceived())
      if (packet.opcode == readersim::ssi::kOpcodeParamSend) out.push_back(packet.data);
    return out;
  }

  reader::PortLock port() { return portOf(device); }

  readersim::SsiEngine engine;
  reader::ReaderDevice device;
  reader::SsiKnownValues known;
};

}  // namespace settings_testing
