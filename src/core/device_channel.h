// DeviceChannel: one serial device of the terminal and everything the library
// keeps about it: its port, kind, link speed, time-outs, last error, the last
// decode (the ScanResult) and its semaphores.
//
// Integer fields are read and written by several threads without a lock
// (the kind and present flags are looked at when each cycle starts), so they
// are atomics. Whole command exchanges on the port are serialised by
// portLock where the callers say so.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/byte_string.h"
#include "core/port_slot.h"
#include "platform/semaphore.h"

namespace reader {

class ReaderDevice;

struct DeviceChannel {
  explicit DeviceChannel(ReaderDevice &owner);
  ~DeviceChannel();
  DeviceChannel(const DeviceChannel &) = delete;
  DeviceChannel &operator=(const DeviceChannel &) = delete;

  ReaderDevice &device;                  // device-wide options (model, held UPC/EAN options, ...)
  std::atomic<int> portNumber{0};        // 1 barcode, 2 RFID once an open routine set it
  PortSlot port;                         // the open port, or none
  std::atomic<int> timeoutMs{3000};      // first-byte time-out of a barcode decode wait
  std::atomic<int> baudRate{9600};       // current link speed
  std::atomic<int> kind{0};              // DeviceKind; 0 = no device
  std::atomic<std::uint32_t> lastError{0};  // ChannelError or system error code

  // ScanResult: the last decode.
  std::atomic<int> resultCode{0};
  ByteString resultName;
  ByteString resultData;
  ByteString tagData;

  // RFID request and tag state.
  std::atomic<int> readStart{0};
  std::atomic<int> readLength{0};
  std::atomic<int> blockSize{0};
  std::atomic<int> moduleVariant{0};     // 0 "ISO 0.9v", 1 "MultiISO 1.0", 2 hex-frame module
  ByteString tagKey;
  std::atomic<int> protocolSelector{0};  // hex-frame module: tag family selected, 0 none
  std::atomic<int> tagBlockCount{0};
  std::atomic<int> tagInfoByte{0};

  // Text engine: the configuration block read from the engine. ASCII module:
  // the module parameter bytes read at start. Guarded by portLock.
  ByteString configBlock;

  std::atomic<int> scanOn{0};
  std::atomic<int> aimTime{0};           // SSI variant 4: aiming time in 100 ms, 0 none

  platform::Semaphore portLock{1, 1};    // free: nobody is using the port
  platform::Semaphore idleWake{0, 1};    // restarts the idle-close wait
  platform::Semaphore aimCancel{0, 1};   // ends a running aiming wait
};

// Puts every field back to its constructed value, except the back reference
// and the texts (ScanResult, key and configuration block survive a close).
// The semaphores live as long as the channel: a thread may still be waiting
// on one while the channel is reset, so they are drained, not recreated.
void resetChannel(DeviceChannel &channel);

// Purges and closes the port if it is open.
void releaseChannel(DeviceChannel &channel);

}  // namespace reader
