#include "core/scan_control.h"

#include <exception>

#include "core/decode_reading.h"
#include "core/link_protocol.h"
#include "core/port_lock.h"
#include "core/serial_channel.h"

namespace reader {

namespace {

void copyOut(const ScanResult &result, int &code, ByteString &name, ByteString &data) {
  code = result.code;
  name.assign(result.name);
  data.assign(result.data);
}

// Stores an accepted decode as the channel's ScanResult and hands it out.
bool accept(DeviceChannel &channel, ScanResult &candidate, int &code, ByteString &name, ByteString &data) {
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link != nullptr && link->filtersCode128 &&
      !filterCode128(channel, candidate.code, candidate.name, candidate.data))
    return false;
  copyOut(candidate, code, name, data);
  channel.result.set(std::move(candidate));
  return true;
}

// The engine scans by itself: only its next decode is waited for. A trigger
// release does not end this wait; a close does.
bool awaitSelfTriggeredDecode(ReaderDevice &device, int &code, ByteString &name, ByteString &data, int timeoutMs,
                              const DecodeAnnouncer &announce) {
  DeviceChannel &channel = device.barcode;
  const auto held = PortLock::take(channel);
  if (!held || device.barcodePresent == 0) return false;
  const PortLock &lock = *held;
  ScanResult candidate;
  // Decodes that arrived meanwhile stay in the port, each a whole frame: the
  // next cycles take them in order. Only a frame cut short is lost.
  const WaitCancel cancel{&channel.closing, nullptr};
  if (!readDecode(lock, candidate, timeoutMs, &cancel) || !accept(channel, candidate, code, name, data)) return false;
  if (announce) announce();
  return true;
}

// Switches a scan that is still on off when the cycle is cut short by an
// exception (an allocation that fails): the engine must not go on scanning
// unattended, and the next cycle must start it afresh.
class ScanSwitchedOffOnExit {
 public:
  explicit ScanSwitchedOffOnExit(const PortLock &lock) : lock_(lock), exceptions_(std::uncaught_exceptions()) {}
  ~ScanSwitchedOffOnExit() {
    if (lock_.channel().scanOn == 0 || std::uncaught_exceptions() == exceptions_) return;
    try {
      setScan(lock_, false);
    } catch (...) {
      lock_.channel().scanOn = 0;  // the next switch-on sends its command again
    }
  }
  ScanSwitchedOffOnExit(const ScanSwitchedOffOnExit &) = delete;
  ScanSwitchedOffOnExit &operator=(const ScanSwitchedOffOnExit &) = delete;

 private:
  const PortLock &lock_;
  const int exceptions_;
};

bool triggeredScan(ReaderDevice &device, int &code, ByteString &name, ByteString &data, int timeoutMs,
                   const DecodeAnnouncer &announce) {
  DeviceChannel &channel = device.barcode;
  const auto held = PortLock::take(channel);
  // The device may have been halted, or the trigger released, while this
  // cycle waited for the port.
  if (!held || device.barcodePresent == 0 || channel.stopRequested != 0) return false;
  const PortLock &lock = *held;
  const ScanSwitchedOffOnExit switchOff(lock);
  // The release ends every wait of the cycle on the engine; the switch-off
  // that follows is not waited for in vain.
  const WaitCancel released{&channel.stopRequested, nullptr};
  if (!setScan(lock, true, &released)) {
    // Aiming, or the switch-on's answer, cut short by the release: off, as
    // the release would.
    if (channel.scanOn != 0) setScan(lock, false);
    return false;
  }
  ScanResult candidate;
  const bool received = readDecode(lock, candidate, timeoutMs, &released);
  // The decode is stored and announced as soon as it is in; the engine's
  // acknowledgement and switch-off follow, in the same order on the wire,
  // with their wake-line waits.
  const bool accepted = received && accept(channel, candidate, code, name, data);
  if (accepted && announce) announce();
  if (received) acknowledgeDecode(lock);
  setScan(lock, false);
  return accepted;
}

}  // namespace

bool setScan(const PortLock &lock, bool on, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  if (channel.scanOn == (on ? 1 : 0)) return true;
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && link->scan != nullptr && link->scan(lock, on, cancel);
}

void armTriggerScan(ReaderDevice &device) {
  DeviceChannel &channel = device.barcode;
  channel.stopRequested = 0;
  // A release that found no aiming wait to end must not end the next one.
  channel.aimCancel.wait(0);
}

bool stopBarcodeScan(ReaderDevice &device) {
  if (device.barcodePresent == 0) return false;
  DeviceChannel &channel = device.barcode;
  channel.stopRequested = 1;
  if (const auto lock = PortLock::take(channel, PortLock::Mode::TryOnly)) return setScan(*lock, false);
  // A cycle holds the port: it sees the request and switches off itself; an
  // aiming wait (variant 4) is ended at once, and a release no aiming wait
  // took is taken back by the next press.
  channel.aimCancel.release();
  return true;
}

bool scanBarcode(ReaderDevice &device, int &code, ByteString &name, ByteString &data, int timeoutMs,
                 const DecodeAnnouncer &announce) {
  if (device.barcodePresent == 0) return false;
  DeviceChannel &channel = device.barcode;
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr || link->readDecode == nullptr) return false;
  if (link->triggersItself != nullptr && link->triggersItself(channel))
    return awaitSelfTriggeredDecode(device, code, name, data, timeoutMs, announce);
  return triggeredScan(device, code, name, data, timeoutMs, announce);
}

bool filterCode128(const DeviceChannel &channel, int code, ByteString &name, ByteString &data) {
  constexpr int kCode128 = 'I';
  constexpr int kEan128 = 'U';
  if (code != kCode128 && code != kEan128) return true;
  const bool kept = code == kCode128 ? channel.code128Accepted != 0 : channel.ean128Accepted != 0;
  if (!kept) {
    name.reset();
    data.reset();
  }
  return kept;
}

}  // namespace reader
