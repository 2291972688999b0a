#include "api/library.h"

#include "platform/module_lifetime.h"

namespace reader {

namespace {

// Runs before the Library is constructed, so that the platform's state is
// torn down after it.
struct PlatformAttachment {
  PlatformAttachment() { platform::attachModule(); }
};

}  // namespace

void DecodeEvents::createMissing() {
  std::lock_guard lock(mutex_);
  if (!barcode_) barcode_ = platform::NamedEvent::create("DecodeEventBC");
  if (!rfid_) rfid_ = platform::NamedEvent::create("DecodeEventRFID");
}

void DecodeEvents::closeBarcode() {
  std::lock_guard lock(mutex_);
  barcode_.reset();
}

void DecodeEvents::closeRfid() {
  std::lock_guard lock(mutex_);
  rfid_.reset();
}

bool DecodeEvents::setBarcode() {
  std::lock_guard lock(mutex_);
  return barcode_ && barcode_->set();
}

bool DecodeEvents::setRfid() {
  std::lock_guard lock(mutex_);
  return rfid_ && rfid_->set();
}

Library::Library() = default;

Library::~Library() {
  // Nothing may wait for the window thread any more: a thread blocked in
  // sending to the window would never leave its loop.
  platform::shutdownWindows();
  // A thread waiting on a port (a decode, an answer) returns at once.
  abortDeviceUse(device);
  // Each thread is told to stop, woken, and waited for until it has left its
  // loop, before its semaphore goes away with the Library.
  struct Stop {
    std::unique_ptr<platform::Thread> &thread;
    std::atomic<int> &flag;
    platform::Semaphore &semaphore;
  };
  Stop stops[] = {
      {threads.barcodeScan, barcodeStopFlag, barcodeTriggerSem},
      {threads.rfidRead, rfidStopFlag, rfidTriggerSem},
      {threads.autoScan, barcodeStopFlag, autoScanSem},
      {threads.vibrate, barcodeStopFlag, vibrateSem},
      {threads.feedback, barcodeStopFlag, feedbackSem},
  };
  for (Stop &stop : stops) {
    if (!stop.thread) continue;
    stop.flag = 1;
    stop.semaphore.release();
    stop.thread->join();
    stop.thread.reset();
  }
}

Library &library() {
  static PlatformAttachment attachment;
  static Library instance;
  return instance;
}

namespace {

// Construct at load, as the module's static objects are.
[[maybe_unused]] const bool constructedAtLoad = (library(), true);

}  // namespace

}  // namespace reader
