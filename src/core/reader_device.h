// ReaderDevice: the one device object of the library, owning the barcode
// engine's channel (COM port 1) and the RFID module's channel (COM port 2),
// the device-wide options, and the idle-close thread of the hex-frame module.
#pragma once

#include <atomic>
#include <memory>

#include "core/byte_string.h"
#include "core/device_channel.h"
#include "core/guarded_text.h"
#include "platform/semaphore.h"
#include "platform/thread.h"

namespace reader {

inline constexpr const char *kDefaultAutoReadKey = "AA5BC8D61E3A97";

class ReaderDevice {
 public:
  ReaderDevice();
  // Closes both devices and switches the vibrator off.
  ~ReaderDevice();
  ReaderDevice(const ReaderDevice &) = delete;
  ReaderDevice &operator=(const ReaderDevice &) = delete;

  int barcodeKind() const { return barcode.kind; }
  int rfidKind() const { return rfid.kind; }

  platform::Semaphore idleThreadDone{0, 1};  // released by the idle-close thread as it ends
  DeviceChannel barcode;
  DeviceChannel rfid;
  ByteString initMessage;  // failure text of the probing open
  std::unique_ptr<platform::Thread> idleThread;

  std::atomic<int> stopIdleThread{0};
  std::atomic<int> model{0};  // 0 unknown, 1 HLM3100XE, 2 HLM3200XE / Pocket_PC
  std::atomic<int> barcodePresent{0};
  std::atomic<int> rfidPresent{0};
  std::atomic<int> autoReadStart{-1};
  std::atomic<int> autoReadLength{80};
  GuardedText autoReadKey{kDefaultAutoReadKey};
  std::atomic<int> idleCloseSeconds{20};
  // The process that opened the devices and started the threads that use
  // them; 0 before any start. A process forked from it shares the ports but
  // has none of those threads.
  std::atomic<std::uint64_t> ownerProcess{0};
  // Set in a forked child that let go of its parent's devices: the child's
  // unload leaves the terminal's devices (the vibrator too) to the parent.
  std::atomic<int> inheritedFromParent{0};
};

// Closes one device (1 barcode, 2 RFID): stops the idle-close thread for the
// RFID module, closes the port, resets the channel and clears the device's
// present flag. Any other value does nothing.
void closeDevice(ReaderDevice &device, int which);

// Closes both devices and switches the vibrator off; the result is the
// vibrator control's.
bool shutdownDevices(ReaderDevice &device);

// For the unload: closes both ports at once, without waiting for portLock,
// and ends a running aiming wait, so that a thread waiting on a device
// returns promptly; no port is opened afterwards. The channels themselves
// are closed later, as usual.
void abortDeviceUse(ReaderDevice &device);

// Starts the idle-close thread for the RFID channel (hex-frame module), and
// stops it again, waiting until it has ended; stopping none does nothing.
// The start is false when no thread could be created.
bool startIdleCloseThread(ReaderDevice &device);
void stopIdleCloseThread(ReaderDevice &device);

// Marks the calling process as the one that opens the devices and runs their
// threads.
void claimDevices(ReaderDevice &device);
// True in a process forked from the one that opened the devices.
bool inheritedFromAnotherProcess(const ReaderDevice &device);
// In such a process: closes its copies of the ports without touching the
// devices or the parent's claim on them, forgets the parent's threads and
// locks, and leaves both channels closed. Waits for nothing. Does nothing in
// the owning process.
void abandonInheritedDevices(ReaderDevice &device);

}  // namespace reader
