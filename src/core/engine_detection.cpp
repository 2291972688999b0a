#include "core/engine_detection.h"

#include <cstring>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_text.h"
#include "core/link_protocol.h"
#include "core/reader_device.h"
#include "core/serial_channel.h"
#include "core/ssi_message.h"
#include "platform/terminal_identity.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

// The hex-frame module is tried after the ASCII one when the model does not
// say which the terminal carries.
bool identifyRfidByModel(DeviceChannel &channel, int model) {
  switch (model) {
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
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && setBaud(channel, bitsPerSecond) && link->probe(channel);
}

bool switchEngineBaud(DeviceChannel &channel, int bitsPerSecond) {
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && link->switchSpeed(channel, bitsPerSecond);
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
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr) return false;
  const int speed = link->workingSpeed;
  if (probeDevice(channel, speed)) return true;
  return link->foundAt9600 && probeDevice(channel, 9600) && moveToSpeed(channel, speed);
}

bool renegotiateLinkAfterDefaults(DeviceChannel &channel) {
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr || !link->foundAt9600) return negotiateLink(channel);
  // The engine's own defaults put it at 9600: asked there first, so that the
  // working speed's probes, which would all go unanswered, are not waited
  // out. An engine that kept its speed is found there next.
  const int speed = link->workingSpeed;
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

int fittedKind(const DeviceChannel &channel, int model) {
  const FittedHardware fitted = readFittedHardware();
  if (channel.portNumber == 1) return fitted.engineKind;
  if (channel.portNumber == 2 && fitted.rfidModule) {
    // As identification leaves it: a model that does not tell ends on the
    // hex-frame module, tried last.
    return model == Model::Hlm3200xe ? DeviceKind::AsciiModule : DeviceKind::HexModule;
  }
  return DeviceKind::None;
}

bool identifyByHardware(DeviceChannel &channel, int model) {
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
  if (channel.portNumber == 2) return fitted.rfidModule && identifyRfidByModel(channel, model);
  return false;
}

bool identifyByRequest(DeviceChannel &channel, int requestedKind, int model) {
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
      found = identifyRfidByModel(channel, model);
    }
  }
  if (!found) channel.kind = DeviceKind::None;
  return found;
}

}  // namespace reader
