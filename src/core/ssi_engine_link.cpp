// The SSI engines' link, both variants: checksummed packets written with the
// wake line asserted, a NAK for a refusal, the revision request to find the
// engine (its reply tells the variant), parameter 0x9C for the speed, start
// and stop decode (variant 4 aims first), and decode packets that the host
// acknowledges.
#include <atomic>

#include "core/command_transport.h"
#include "core/decode_naming.h"
#include "core/device_kind.h"
#include "core/frame_reader.h"
#include "core/link_protocol.h"
#include "core/reader_device.h"
#include "core/scan_state.h"
#include "core/serial_channel.h"
#include "core/ssi_checksum.h"
#include "core/ssi_message.h"
#include "core/symbology_table.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;
constexpr int kCommandTimeoutMs = 1000;
constexpr int kStopDecodeTimeoutMs = 100;  // variant 3: the stop is acknowledged quickly
constexpr int kAimOffTimeoutMs = 3000;
constexpr int kAckWriteTimeoutMs = 1000;
constexpr int kAttempts = 5;
constexpr std::uint32_t kAimCancelTakeBackMs = 10;

// A packet's length byte says at most 255; a decode brings the start
// acknowledgement's leftover checksum before it.
constexpr std::uint32_t kLongestAnswer = 2 + 255;

bool readAnswerFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, const WaitCancel *cancel) {
  FrameReader reader(lock, firstByteTimeoutMs, kInterByteGapMs, kLongestAnswer, 1, cancel);
  std::uint8_t length = 0;
  if (!reader.next(length)) return false;
  out.append(length);
  // The two checksum bytes that follow stay in the port; the next write
  // purges them.
  for (int i = 1; i < length; ++i) {
    std::uint8_t b = 0;
    if (!reader.next(b)) {
      reader.discardInputIfStillTalking();
      return false;
    }
    out.append(b);
  }
  return true;
}

bool readDecodePacket(FrameReader &reader, ByteString &out) {
  std::uint8_t b = 0;
  // The checksum of the start-decode acknowledgement, left by its answer read.
  if (!reader.next(b) || !reader.next(b)) return false;
  std::uint8_t lengthByte = 0;
  if (!reader.next(lengthByte)) return false;
  int remaining = lengthByte;
  std::uint8_t opcode = 0;
  if (!reader.next(opcode) || opcode != 0xF3) return false;
  if (!reader.next(b) || !reader.next(b)) return false;  // source and status
  remaining -= 4;
  std::uint8_t type = 0;
  if (!reader.next(type)) return false;
  remaining -= 1;
  if (type != 0x99) {
    out.append(type);
    for (int i = 0; i < remaining; ++i) {
      if (!reader.next(b)) return false;
      out.append(b);
    }
    return true;
  }
  // Multipacket form: the real type, one byte to skip, then the data in which
  // a zero byte is followed by two bytes that are not data.
  std::uint8_t realType = 0;
  if (!reader.next(realType)) return false;
  out.append(realType);
  remaining -= 1;
  if (!reader.next(b)) return false;
  remaining -= 1;
  int count = 0;
  while (count < remaining) {
    // Every read is checked: a time-out fails the frame instead of storing
    // bytes that never came.
    if (!reader.next(b)) return false;
    ++count;
    if (b != 0) {
      out.append(b);
      continue;
    }
    std::uint8_t skipped = 0;
    if (!reader.next(skipped) || !reader.next(skipped)) return false;
    count += 2;
  }
  return true;
}

bool readDecodeFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, const WaitCancel *cancel) {
  // The acknowledgement's checksum is already waiting; the decode's length
  // byte comes whenever the engine decodes, so it too gets the caller's wait.
  FrameReader reader(lock, firstByteTimeoutMs, kInterByteGapMs, kLongestAnswer, 3, cancel);
  if (readDecodePacket(reader, out)) return true;
  reader.discardInputIfStillTalking();
  return false;
}

bool readLinkFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool decode,
                   const WaitCancel *cancel) {
  return decode ? readDecodeFrame(lock, out, firstByteTimeoutMs, cancel)
                : readAnswerFrame(lock, out, firstByteTimeoutMs, cancel);
}

// A negative acknowledgement from the engine: length 5, NAK, source engine,
// status 0, then its cause. Any other answer is taken.
bool isNak(const ByteString &answer) {
  return answer.length() >= 5 && answer.byteAt(0) == 5 && answer.byteAt(1) == ssi::kNak &&
         answer.byteAt(2) == ssi::kSourceEngine && answer.byteAt(3) == 0;
}

ByteString wrap(const ByteString &command) {
  ByteString packet = command;
  appendSsiChecksum(packet);
  return packet;
}

bool write(const PortLock &lock, const ByteString &packet) {
  wakeLine(lock, 1);
  const bool written = writeFrame(lock, packet);
  wakeLine(lock, 0);
  return written;
}

// The variant from the byte just before the third space of the revision text.
bool classifyRevision(DeviceChannel &channel, const ByteString &answer) {
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

bool probe(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  ByteString request = ssi::hostMessage(ssi::kRevisionRequest);
  ByteString answer;
  if (!sendCommand(lock, request, kProbeTimeoutMs, &answer, kAttempts)) return false;
  return classifyRevision(channel, answer);
}

bool switchSpeed(const PortLock &lock, int bitsPerSecond) {
  const std::uint8_t code = bitsPerSecond == 38400 ? 8 : bitsPerSecond == 115200 ? 11 : 6;
  ByteString packet = ssi::parameterSend({0x9C, code});
  ByteString answer;
  return sendCommand(lock, packet, kProbeTimeoutMs, &answer, kAttempts);
}

bool send(const PortLock &lock, std::uint8_t opcode, int timeoutMs, const WaitCancel *cancel = nullptr) {
  ByteString packet = ssi::hostMessage(opcode);
  ByteString answer;
  return sendCommand(lock, packet, timeoutMs, &answer, kAttempts, cancel);
}

bool scanVariant3(const PortLock &lock, bool on, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  if (on) return switchedOn(channel, send(lock, ssi::kStartDecode, kCommandTimeoutMs, cancel), cancel);
  return switched(channel, send(lock, ssi::kStopDecode, kStopDecodeTimeoutMs), 0);
}

// Variant 4: every press aims first (aimTime x 100 ms) unless the press
// before had its aiming cut short; aimToggle alternates to tell them apart.
bool aimAndStart(const PortLock &lock, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  std::atomic<int> &toggle = channel.aimToggle;
  toggle = (toggle + 1) % 2;
  const int aimTime = channel.aimTime;
  if (toggle == 1 || aimTime == 0)
    return switchedOn(channel, send(lock, ssi::kStartDecode, kCommandTimeoutMs, cancel), cancel);
  send(lock, ssi::kAimOn, kCommandTimeoutMs, cancel);
  channel.scanOn = 1;
  const auto waited = channel.aimCancel.wait(static_cast<std::uint32_t>(aimTime) * 100u);
  if (waited != platform::WaitResult::TimedOut) return false;  // cut short by the release
  send(lock, ssi::kAimOff, kCommandTimeoutMs, cancel);
  const bool started = switchedOn(channel, send(lock, ssi::kStartDecode, kCommandTimeoutMs, cancel), cancel);
  toggle = (toggle + 1) % 2;
  return started;
}

bool stopAiming(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  channel.aimCancel.release();
  send(lock, ssi::kAimOff, kAimOffTimeoutMs);
  const bool stopped = switched(channel, send(lock, ssi::kStopDecode, kCommandTimeoutMs), 0);
  // Takes the release back when no aiming wait consumed it.
  channel.aimCancel.wait(kAimCancelTakeBackMs);
  return stopped;
}

bool scanVariant4(const PortLock &lock, bool on, const WaitCancel *cancel) {
  return on ? aimAndStart(lock, cancel) : stopAiming(lock);
}

void name(const DeviceChannel &, ScanResult &result) {
  const int number = result.data.byteAt(0);
  if (const symbology::SsiType *type = symbology::ssiType(number)) {
    result.code = number;
    result.name.assign(type->name);
  } else {
    result.name.assign(kUnknownTypeName);
  }
  result.data.eraseRange(0, 1);
}

bool readDecode(const PortLock &lock, ScanResult &out, int timeoutMs, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  if (!readFrame(lock, out.data, timeoutMs, true, cancel)) return false;
  name(channel, out);
  return true;
}

void acknowledge(const PortLock &lock) {
  ByteString ack = ssi::hostMessage(ssi::kAck);
  sendCommand(lock, ack, kAckWriteTimeoutMs, nullptr, 0);
}

// The parameters the library works with; variant 4 takes one more.
bool sendDefaults(const PortLock &lock, bool variant4) {
  DeviceChannel &channel = lock.channel();
  ByteString packet = ssi::parameterSend({0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B, 0x14, 0x88, 0x1E, 0x9F, 0x01});
  if (variant4) {
    packet.append(0xED);
    packet.append(0x00);
    ssi::setLength(packet);
  }
  ByteString answer;
  const bool sent = sendCommand(lock, packet, kProbeTimeoutMs, &answer, 5);
  // These values were written without the settings' knowledge.
  ++channel.settingsEpoch;
  return sent;
}
bool sendDefaultsVariant3(const PortLock &lock) { return sendDefaults(lock, false); }
bool sendDefaultsVariant4(const PortLock &lock) { return sendDefaults(lock, true); }

constexpr LinkProtocol ssiLink(int workingSpeed, bool (*scan)(const PortLock &, bool, const WaitCancel *),
                               bool (*sendDefaults)(const PortLock &)) {
  return {
      .workingSpeed = workingSpeed,
      .foundAt9600 = true,
      .readFrame = readLinkFrame,
      .longestAnswer = kLongestAnswer,
      .probe = probe,
      .switchSpeed = switchSpeed,
      .wrap = wrap,
      .write = write,
      .refused = isNak,
      .answerTimeoutMs = 0,  // the caller's
      .scan = scan,
      .readDecode = readDecode,
      .acknowledgeDecode = acknowledge,
      .triggersItself = nullptr,
      .filtersCode128 = false,
      .name = name,
      .readConfiguration = nullptr,
      .sendDefaults = sendDefaults,
  };
}

}  // namespace

constinit const LinkProtocol kSsiEngine3Link = ssiLink(115200, scanVariant3, sendDefaultsVariant3);
constinit const LinkProtocol kSsiEngine4Link = ssiLink(38400, scanVariant4, sendDefaultsVariant4);

}  // namespace reader
