#include "core/engine_detection.h"

#include <cstring>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_text.h"
#include "core/reader_device.h"
#include "core/serial_channel.h"
#include "core/ssi_message.h"
#include "platform/terminal_identity.h"
#include "core/hex_module_frames.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

// The variant from the byte just before the third space of the revision text.
bool classifySsiRevision(DeviceChannel &channel, const ByteString &answer) {
  std::uint32_t first = 0, second = 0, third = 0;
  if (!answer.findChar(' ', first, 1, 0)) return false;
  if (!answer.findChar(' ', second, first + 1, 0)) return false;
  if (!answer.findChar(' ', third, second + 1, 0)) return false;
  const std::uint8_t variant = answer.byteAt(third - 1);
  if (variant == 0x00 || variant == 0x07 || variant == 'G') {
    channel.kind = DeviceKind::SsiEngine4;
    return true;
  }
  if (variant == 'P') {
    channel.kind = DeviceKind::SsiEngine3;
    return true;
  }
  return false;
}

int workingSpeed(int kind) {
  switch (kind) {
    case DeviceKind::SsiEngine4: return 38400;
    case DeviceKind::AsciiModule: return 57600;
    default: return 115200;
  }
}

// The hex-frame module is tried after the ASCII one when the model does not
// say which the terminal carries.
bool identifyRfidByModel(DeviceChannel &channel) {
  switch (channel.device.model) {
    case Model::Hlm3100xe:
      channel.kind = DeviceKind::HexModule;
      return negotiateLink(channel);
    case Model::Hlm3200xe:
      channel.kind = DeviceKind::AsciiModule;
      return negotiateLink(channel);
    default:
      channel.kind = DeviceKind::AsciiModule;
      if (negotiateLink(channel)) return true;
      channel.kind = DeviceKind::HexModule;
      return negotiateLink(channel);
  }
}

}  // namespace

int readModel() {
  char description[100] = {};
  if (!platform::readModelDescription(description, sizeof description)) return Model::Unknown;
  if (std::strcmp(description, "HLM3100XE") == 0) return Model::Hlm3100xe;
  if (std::strcmp(description, "HLM3200XE") == 0) return Model::Hlm3200xe;
  if (std::strcmp(description, "Pocket_PC") == 0) return Model::Hlm3200xe;
  return Model::Unknown;
}

bool probeDevice(DeviceChannel &channel, int bitsPerSecond) {
  if (!setBaud(channel, bitsPerSecond)) return false;
  ByteString answer;
  switch (channel.kind) {
    case DeviceKind::TextEngine: {
      if (!sendCommand(channel, "VER", kProbeTimeoutMs, &answer, 1)) return false;
      // The text engine's RTS line stays on from now on.
      if (auto port = channel.port.get()) port->setRts(true);
      return true;
    }
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: {
      ByteString request = ssi::hostMessage(ssi::kRevisionRequest);
      if (!sendCommand(channel, request, kProbeTimeoutMs, &answer, 5)) return false;
      return classifySsiRevision(channel, answer);
    }
    case DeviceKind::AsciiModule: {
      if (!sendCommand(channel, "v", kProbeTimeoutMs, &answer, 3)) return false;
      std::uint32_t at = 0;
      if (answer.find(0, "MultiISO 1.0", at)) {
        channel.moduleVariant = 1;
        return true;
      }
      if (answer.find(0, "ISO 0.9v", at)) {
        channel.moduleVariant = 0;
        return true;
      }
      return false;
    }
    case DeviceKind::HexModule: {
      if (!sendCommand(channel, HexModuleFrame::Probe, kProbeTimeoutMs, &answer, 3)) return false;
      channel.moduleVariant = 2;
      return true;
    }
    default:
      return false;
  }
}

bool switchEngineBaud(DeviceChannel &channel, int bitsPerSecond) {
  switch (channel.kind) {
    case DeviceKind::TextEngine:
    case DeviceKind::HexModule:
      return true;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: {
      const std::uint8_t code = bitsPerSecond == 38400 ? 8 : bitsPerSecond == 115200 ? 11 : 6;
      ByteString packet = ssi::parameterSend({0x9C, code});
      ByteString answer;
      return sendCommand(channel, packet, kProbeTimeoutMs, &answer, 5);
    }
    case DeviceKind::AsciiModule: {
      ByteString answer;
      bool sent = false;
      for (int i = 0; i < 2 && !sent; ++i) sent = sendCommand(channel, "wp0C03", kProbeTimeoutMs, &answer, 1);
      if (!sent) return false;
      if (answer.equals("F")) {
        channel.lastError = ChannelError::ModuleF;
        return false;
      }
      if (answer.equals("R")) {
        channel.lastError = ChannelError::ModuleR;
        return false;
      }
      return true;
    }
    default:
      return false;
  }
}

namespace {

// A device found at 9600 is moved to its working speed; a refused switch
// keeps a working link at 9600.
bool moveToSpeed(DeviceChannel &channel, int speed) {
  if (switchEngineBaud(channel, speed)) setBaud(channel, speed);
  return true;
}

}  // namespace

bool negotiateLink(DeviceChannel &channel) {
  // The revision answer may change the SSI kind during the probe; the speed
  // follows the kind the negotiation started with.
  const int kind = channel.kind;
  switch (kind) {
    case DeviceKind::TextEngine:
    case DeviceKind::HexModule:
      return probeDevice(channel, 115200);
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
    case DeviceKind::AsciiModule: {
      const int speed = workingSpeed(kind);
      if (probeDevice(channel, speed)) return true;
      return probeDevice(channel, 9600) && moveToSpeed(channel, speed);
    }
    default:
      return false;
  }
}

bool renegotiateLinkAfterDefaults(DeviceChannel &channel) {
  const int kind = channel.kind;
  if (kind != DeviceKind::SsiEngine3 && kind != DeviceKind::SsiEngine4) return negotiateLink(channel);
  // The engine's own defaults put it at 9600: asked there first, so that the
  // working speed's probes, which would all go unanswered, are not waited
  // out. An engine that kept its speed is found there next.
  const int speed = workingSpeed(kind);
  if (probeDevice(channel, 9600)) return moveToSpeed(channel, speed);
  return probeDevice(channel, speed);
}

bool sendSsiDefaults(DeviceChannel &channel) {
  ByteString packet = ssi::parameterSend({0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B, 0x14, 0x88, 0x1E, 0x9F, 0x01});
  if (channel.kind == DeviceKind::SsiEngine4) {
    packet.append(0xED);
    packet.append(0x00);
    ssi::setLength(packet);
  }
  ByteString answer;
  const bool sent = sendCommand(channel, packet, kProbeTimeoutMs, &answer, 5);
  // These values were written without the settings' knowledge.
  ++channel.settingsEpoch;
  return sent;
}

void readConfiguration(DeviceChannel &channel, ByteString &out) {
  ByteString answer;
  if (channel.kind == DeviceKind::TextEngine) {
    if (sendCommand(channel, "SET", kProbeTimeoutMs, &answer, 1)) fromHexText(answer, out);
    return;
  }
  if (channel.kind != DeviceKind::AsciiModule) return;
  for (int parameter = 0x0A; parameter <= 0x1F; ++parameter) {
    ByteString command;
    command.format("rp%02x", parameter);
    if (sendCommand(channel, command, kProbeTimeoutMs, &answer, 1) && !answer.equals("R")) {
      ByteString bytes;
      fromHexText(answer, bytes);
      out.append(bytes);
    } else {
      out.append(0);
    }
  }
}

namespace {

// The engine the fitted-hardware text names (character 0), and whether it
// names an RFID module (character 2); nothing for a text shorter than 3.
struct FittedHardware {
  int engineKind = DeviceKind::None;
  bool rfidModule = false;
};

FittedHardware readFittedHardware() {
  char hardware[20] = {};
  platform::queryDeviceInformation(platform::kInfoFittedHardware, hardware, sizeof hardware);
  FittedHardware fitted;
  if (std::strlen(hardware) < 3) return fitted;
  switch (hardware[0]) {
    case '1':
    case '2': fitted.engineKind = DeviceKind::TextEngine; break;
    case '3': fitted.engineKind = DeviceKind::SsiEngine3; break;
    case '4':
    case '5': fitted.engineKind = DeviceKind::SsiEngine4; break;
    default: break;
  }
  fitted.rfidModule = hardware[2] == '1';
  return fitted;
}

}  // namespace

int fittedKind(const DeviceChannel &channel) {
  const FittedHardware fitted = readFittedHardware();
  if (channel.portNumber == 1) return fitted.engineKind;
  if (channel.portNumber == 2 && fitted.rfidModule) {
    // As identification leaves it: a model that does not tell ends on the
    // hex-frame module, tried last.
    return channel.device.model == Model::Hlm3200xe ? DeviceKind::AsciiModule : DeviceKind::HexModule;
  }
  return DeviceKind::None;
}

bool identifyByHardware(DeviceChannel &channel) {
  channel.kind = DeviceKind::None;
  const FittedHardware fitted = readFittedHardware();
  if (channel.portNumber == 1) {
    if (fitted.engineKind == DeviceKind::None) return false;
    channel.kind = fitted.engineKind;
    if (!negotiateLink(channel)) return false;
    if (fitted.engineKind != DeviceKind::TextEngine) return sendSsiDefaults(channel);
    readConfiguration(channel, channel.configBlock);
    configBlockChanged(channel);
    return true;
  }
  if (channel.portNumber == 2) return fitted.rfidModule && identifyRfidByModel(channel);
  return false;
}

bool identifyByRequest(DeviceChannel &channel, int requestedKind) {
  bool found = false;
  if (channel.portNumber == 1) {
    if (requestedKind >= DeviceKind::TextEngine && requestedKind <= DeviceKind::SsiEngine4) {
      channel.kind = requestedKind;
      found = negotiateLink(channel);
    } else {
      for (int kind = DeviceKind::TextEngine; kind <= DeviceKind::SsiEngine4 && !found; ++kind) {
        channel.kind = kind;
        found = negotiateLink(channel);
      }
    }
  } else if (channel.portNumber == 2) {
    if (requestedKind == DeviceKind::AsciiModule || requestedKind == DeviceKind::HexModule) {
      channel.kind = requestedKind;
      found = negotiateLink(channel);
    } else {
      found = identifyRfidByModel(channel);
    }
  }
  if (!found) channel.kind = DeviceKind::None;
  return found;
}

}  // namespace reader
