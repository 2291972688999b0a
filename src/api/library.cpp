#include "api/library.h"

#include "platform/module_lifetime.h"
#include "platform/terminal_drivers.h"

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

bool releaseInheritedState(Library &lib) {
  if (!inheritedFromAnotherProcess(lib.device)) return false;
  // The parent's threads are not in this process: their handles are dropped
  // (nothing is joined) and the semaphores they waited on start afresh.
  for (platform::Semaphore *semaphore :
       {&lib.barcodeTriggerSem, &lib.rfidTriggerSem, &lib.autoScanSem, &lib.feedbackSem, &lib.vibrateSem})
    semaphore->resetAfterFork(0);
  for (std::unique_ptr<platform::Thread> *thread : {&lib.threads.barcodeScan, &lib.threads.autoScan,
                                                    &lib.threads.rfidRead, &lib.threads.vibrate, &lib.threads.feedback})
    thread->reset();
  abandonInheritedDevices(lib.device);
  lib.inheritedReleased = true;
  return true;
}

Library::~Library() {
  // A forked child: what the parent started is let go of first; the rest of
  // the teardown then has nothing of the parent's left to wait for.
  releaseInheritedState(*this);
  // Nothing may wait for the window thread any more: a thread blocked in
  // sending to the window would never leave its loop.
  platform::shutdownWindows();
  // The trigger keys post to the windows, the wedge types for the devices:
  // both go.
  platform::stopTerminalDrivers();
  // Pauses of the worker threads end at once.
  unloadStarted.release();
  // A thread waiting on a port (a decode, an answer) returns at once.
  abortDeviceUse(device);
  // Every thread is told to stop, then each is woken and waited for until it
  // has left its loop, before its semaphore goes away with the Library.
  struct Stop {
    std::unique_ptr<platform::Thread> &thread;
    std::atomic<int> &flag;
    platform::Semaphore &semaphore;
  };
  Stop stops[] = {
      {threads.barcodeScan, barcodeStopFlag, barcodeTriggerSem}, {threads.rfidRead, rfidStopFlag, rfidTriggerSem},
      {threads.autoScan, autoScanStopFlag, autoScanSem},         {threads.vibrate, vibrateStopFlag, vibrateSem},
      {threads.feedback, feedbackStopFlag, feedbackSem},
  };
  for (Stop &stop : stops) stop.flag = 1;
  for (Stop &stop : stops) {
    if (!stop.thread) continue;
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
