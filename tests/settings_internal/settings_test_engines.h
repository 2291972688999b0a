// A ReaderDevice whose barcode channel is open on a simulated engine, for the
// tests of the settings operations below the API.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/reader_device.h"
#include "core/serial_channel.h"
#include "readersim/ssi_engine.h"
#include "readersim/text_engine.h"

namespace settings_testing {

// Opens COM1 on `portPath` at `speed` as an engine of `kind`; the text
// engine's configuration block is read as the open routine reads it.
inline void openBarcodeChannel(reader::ReaderDevice &device, const std::string &portPath, int kind,
                               int speed) {
  ::setenv("READER_COM1", portPath.c_str(), 1);
  reader::DeviceChannel &channel = device.barcode;
  channel.portNumber = 1;
  if (!reader::openPort(channel)) throw std::runtime_error("cannot open " + portPath);
  reader::setBaud(channel, speed);
  channel.kind = kind;
  if (kind == reader::DeviceKind::TextEngine) {
    reader::readConfiguration(channel, channel.configBlock);
    reader::configBlockChanged(channel);
  }
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

  readersim::SsiEngine engine;
  reader::ReaderDevice device;
};

}  // namespace settings_testing
