// DeviceChannel: one serial device of the terminal and everything the library
// keeps about it, in three parts: the link (port, kind, speed, last error, the
// last decode or tag, the port lock), the engine's state and the module's.
//
// Integer fields are read and written by several threads without a lock
// (the kind and present flags are looked at when each cycle starts), so they
// are atomics. Every exchange with the device, and every open, close and
// speed change of its port, runs under portLock (see PortLock).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "core/byte_string.h"
#include "core/port_slot.h"
#include "core/scan_result.h"
#include "platform/semaphore.h"

namespace reader {

// What every device's link keeps: the port and its lock, the kind, speed and
// last error, the last decode or tag, and the counters and flags that tell
// whether an exchange may go on.
struct LinkState {
  std::atomic<int> portNumber{0};           // 1 barcode, 2 RFID once an open routine set it
  PortSlot port;                            // the open port, or none
  std::atomic<int> baudRate{9600};          // current link speed
  std::atomic<int> kind{0};                 // DeviceKind; 0 = no device
  std::atomic<std::uint32_t> lastError{0};  // ChannelError or system error code

  ScanResultSlot result;  // the last accepted decode or tag

  // Text engine: the configuration block read from the engine. ASCII module:
  // the module parameter bytes read at start. Guarded by portLock; call
  // configBlockChanged after every change.
  ByteString configBlock;
  // The engine scans, or the module reads, until switched off.
  std::atomic<int> scanOn{0};
  // Changes at every open and close of the port and whenever the engine's
  // settings change behind the library's back: what the library knew of the
  // engine's values belongs to one such period.
  std::atomic<std::uint32_t> settingsEpoch{0};
  // Frames read, and exchanges in which no attempt got any frame back: a
  // caller can tell a silent device from one that refuses.
  std::atomic<std::uint32_t> framesRead{0};
  std::atomic<std::uint32_t> unansweredExchanges{0};
  // Set at unload: the port is not opened any more.
  std::atomic<int> unloading{0};
  // Set while the device is being closed (halt, unload): every wait on the
  // device ends and every exchange fails at once.
  std::atomic<int> closing{0};
  // Counts the closes of this channel: a wait that began before a close can
  // tell that it belongs to a device that has gone.
  std::atomic<std::uint32_t> closures{0};
  // 1 after a frame was given up in its middle: the next frame read first
  // drops what is left of it, so that its tail is never read as a frame.
  std::atomic<int> frameTailPending{0};

  platform::Semaphore portLock{1, 1};            // free: nobody is using the port (taken as a PortLock)
  std::atomic<std::thread::id> portLockOwner{};  // the thread holding portLock, for the re-entry check
};

// What the library keeps of a barcode engine.
struct EngineState {
  // Text engine: the trigger mode the configuration block copy holds (0 when
  // it holds none), readable without portLock: a trigger press must never
  // wait behind an exchange on the port.
  std::atomic<int> triggerMode{0};
  // Text engine: whether the block copy lets Code 128 and EAN-128 decodes
  // through (byte 22 bits 7 and 6; 0 when it holds no block), kept beside
  // the block as the trigger mode is, so that the scan cycle reads them
  // without knowing the block's layout.
  std::atomic<int> code128Accepted{0};
  std::atomic<int> ean128Accepted{0};
  // Text engine: 1 while the last SetReaderSettings set a self-triggered
  // trigger mode; the continuous-scan loop runs only then. A close of the
  // device takes it back.
  std::atomic<int> autoScanToken{0};
  std::atomic<int> aimTime{0};    // SSI variant 4: aiming time in 100 ms, 0 none
  std::atomic<int> aimToggle{1};  // SSI variant 4: 1 when the last press aimed or started at once
  // Text engine: options the engine's configuration holds for the library
  // (the engine sends what it was once asked for; the naming strips what
  // they say). They outlive a close of the port.
  std::atomic<int> upcAAsEan13{0};
  std::atomic<int> sendEan13CheckDigit{0};
  std::atomic<int> sendUpcACheckDigit{0};
  // Set by the trigger release, cleared by the press: a trigger-driven scan
  // cycle that holds the port ends its decode wait and switches off itself,
  // so the release never talks to the engine while the cycle reads from it.
  std::atomic<int> stopRequested{0};
  platform::Semaphore aimCancel{0, 1};  // ends a running aiming wait
};

// What the library keeps of an RFID module (a read's request and what its
// detection told travel as values: rfid/tag_request.h).
struct ModuleState {
  std::atomic<int> blockSize{0};
  std::atomic<int> moduleVariant{0};     // 0 "ISO 0.9v", 1 "MultiISO 1.0", 2 hex-frame module
  std::atomic<int> protocolSelector{0};  // hex-frame module: tag family selected, 0 none
  platform::Semaphore idleWake{0, 1};    // restarts the idle-close wait
};

// One serial device of the terminal: its link, and the state of the engine or
// module behind it (each channel serves one of the two; the other part stays
// at its constructed values).
struct DeviceChannel : LinkState, EngineState, ModuleState {
  DeviceChannel();
  ~DeviceChannel();
  DeviceChannel(const DeviceChannel &) = delete;
  DeviceChannel &operator=(const DeviceChannel &) = delete;
};

// Puts every field back to its constructed value, except the texts (the
// ScanResult's texts, key and configuration block survive a close; its code
// is cleared).
// The semaphores live as long as the channel: a thread may still be waiting
// on one while the channel is reset, so they are drained, not recreated.
void resetChannel(DeviceChannel &channel);

// Text engine configuration blocks shorter than this are not used.
inline constexpr std::uint32_t kMinConfigBlockBytes = 30;

// Trigger modes in which the text engine scans by itself and the library
// only waits for its decodes.
inline bool isSelfTriggeredMode(int mode) { return mode == 1 || mode == 5 || mode == 7; }

// Publishes what the window procedure and the scan cycle read of configBlock
// (the trigger mode, bits 4 to 7 of byte 20; the Code 128 and EAN-128
// acceptance, byte 22 bits 7 and 6). The caller holds portLock.
void configBlockChanged(DeviceChannel &channel);

}  // namespace reader
