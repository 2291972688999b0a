#include "core/decode_reading.h"

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/decode_naming.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "core/ssi_message.h"

namespace reader {

namespace {

// The text engine's answer when a scan ended without a decode.
constexpr const char *kTextEngineNoDecode = "*000";

constexpr int kAckWriteTimeoutMs = 1000;

bool readTextEngineDecode(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  // A decode, not a command's answer: it may be long.
  if (!readFrame(channel, out.data, channel.timeoutMs, true, cancel)) return false;
  if (out.data.equals(kTextEngineNoDecode)) {
    out.data.reset();
    channel.lastError = ChannelError::NoDecode;
    return false;
  }
  nameResult(channel, out);
  return true;
}

bool readSsiDecode(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  if (!readFrame(channel, out.data, channel.timeoutMs, true, cancel)) return false;
  nameResult(channel, out);
  return true;
}

}  // namespace

bool readDecode(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  out = ScanResult();
  switch (channel.kind) {
    case DeviceKind::TextEngine: return readTextEngineDecode(channel, out, cancel);
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: return readSsiDecode(channel, out, cancel);
    default: return false;
  }
}

void acknowledgeDecode(DeviceChannel &channel) {
  if (channel.kind != DeviceKind::SsiEngine3 && channel.kind != DeviceKind::SsiEngine4) return;
  // The engine sends a decode until it is acknowledged.
  ByteString ack = ssi::hostMessage(ssi::kAck);
  sendCommand(channel, ack, kAckWriteTimeoutMs, nullptr, 0);
}

}  // namespace reader
