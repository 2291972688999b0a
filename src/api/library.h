// The library's state for its whole loaded life: the device object, the
// options, the semaphores that hand work to the worker threads, the hidden
// window and the named events.
//
// Loading constructs it (nothing touches the hardware); unloading stops the
// worker threads, waits until each has left its loop, and tears the device
// object down, which closes both ports and switches the vibrator off.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/reader_device.h"
#include "platform/named_event.h"
#include "platform/semaphore.h"
#include "platform/thread.h"
#include "platform/window_messages.h"
#include "settings/library_options.h"
#include "settings/ssi_known_values.h"

namespace reader {

// The registered messages: trigger keys in, decode announcements out.
struct ReaderMessages {
  std::atomic<std::uint32_t> user1Down{0};
  std::atomic<std::uint32_t> user2Down{0};
  std::atomic<std::uint32_t> user1Up{0};
  std::atomic<std::uint32_t> user2Up{0};
  std::atomic<std::uint32_t> decode{0};
  std::atomic<std::uint32_t> decodeData{0};
};

// "DecodeEventBC" and "DecodeEventRFID": created at start, closed by
// HaltReader; set from the window thread.
class DecodeEvents {
 public:
  void createMissing();
  void closeBarcode();
  void closeRfid();
  // Setting a closed event does nothing.
  bool setBarcode();
  bool setRfid();

 private:
  std::mutex mutex_;
  std::unique_ptr<platform::NamedEvent> barcode_;
  std::unique_ptr<platform::NamedEvent> rfid_;
};

struct WorkerThreads {
  std::unique_ptr<platform::Thread> barcodeScan;
  std::unique_ptr<platform::Thread> autoScan;
  std::unique_ptr<platform::Thread> rfidRead;
  std::unique_ptr<platform::Thread> vibrate;
  std::unique_ptr<platform::Thread> feedback;
};

class Library {
 public:
  Library();
  ~Library();
  Library(const Library &) = delete;
  Library &operator=(const Library &) = delete;

  ReaderDevice device;
  LibraryOptions options;
  // What the library knows of the SSI engine's values (under the engine's
  // port lock).
  SsiKnownValues ssiKnown;

  // Hand-over to the worker threads; all with a maximum count of 1.
  platform::Semaphore barcodeTriggerSem{0, 1};
  platform::Semaphore rfidTriggerSem{0, 1};
  platform::Semaphore autoScanSem{0, 1};
  platform::Semaphore feedbackSem{0, 1};
  platform::Semaphore vibrateSem{0, 1};
  // Each worker thread's stop flag, set at unload before its semaphore is
  // released: the thread leaves its loop when it wakes to find it set.
  std::atomic<int> barcodeStopFlag{0};
  std::atomic<int> rfidStopFlag{0};
  std::atomic<int> autoScanStopFlag{0};
  std::atomic<int> vibrateStopFlag{0};
  std::atomic<int> feedbackStopFlag{0};
  // Released at unload (and passed on by whoever takes it): ends the worker
  // threads' pauses.
  platform::Semaphore unloadStarted{0, 1};
  // Set when a forked child let go of what it inherited, until its next
  // HaltReader says so.
  std::atomic<bool> inheritedReleased{false};

  ReaderMessages messages;
  DecodeEvents events;
  std::atomic<platform::WindowHandle> readerWindow{0};
  std::atomic<bool> windowClassRegistered{false};
  std::atomic<int> triggerKeyEnabled{0};

  // Started and joined only by the lifecycle calls and the unload.
  WorkerThreads threads;
};

// The one instance, alive from load to unload.
Library &library();

// In a process forked from the one that started the reader: lets go of what
// was inherited (the child's copies of the ports are closed, the parent's
// threads and locks forgotten) without touching the devices or waiting for
// anything, so that the child may use or unload the library. Every exported
// function calls it first; it does nothing in the owning process. True when
// it let go of something.
bool releaseInheritedState(Library &library);

}  // namespace reader
