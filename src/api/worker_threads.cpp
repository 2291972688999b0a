#include "api/worker_threads.h"

#include "api/good_read_feedback.h"
#include "core/device_kind.h"
#include "core/scan_control.h"
#include "rfid/tag_cycle.h"

namespace reader {

namespace {

constexpr std::uint32_t kAutoScanPauseMs = 200;

bool waitForRelease(platform::Semaphore &semaphore) {
  return semaphore.wait(platform::kWaitForever) == platform::WaitResult::Signaled;
}

// One cycle of a worker thread. Whatever goes wrong inside it (in practice an
// allocation that fails) ends that cycle only: the thread goes back to
// waiting for the next release.
template <class Cycle>
bool runCycle(Cycle &&cycle) noexcept {
  try {
    return cycle();
  } catch (...) {
    return false;
  }
}

void postDecode(Library &library, std::uintptr_t which) {
  platform::postMessage(library.readerWindow, library.messages.decode, which, 0);
}

bool scanOnce(Library &library, const DecodeAnnouncer &announce = {}) {
  int code = 0;
  ByteString name, data;
  return scanBarcode(library.device, code, name, data, library.options.scanTimeout * 1000, announce);
}

// The decode is posted as soon as it is stored, while the cycle goes on to
// acknowledge the engine and switch it off.
void barcodeScanLoop(Library &library) {
  const DecodeAnnouncer announce = [&library] { postDecode(library, 1); };
  while (waitForRelease(library.barcodeTriggerSem) && library.barcodeStopFlag != 1)
    runCycle([&library, &announce] { return scanOnce(library, announce); });
}

// The continuous scanning of a text engine that triggers itself: only while
// such an engine is open and the last SetReaderSettings gave the token.
bool selfTriggeredScanArmed(const ReaderDevice &device) {
  return device.barcode.autoScanToken != 0 && device.barcodePresent != 0 &&
         device.barcodeKind() == DeviceKind::TextEngine;
}

// Hands the decode to the window procedure and waits until it has been
// typed, broadcast and signalled: the next decode must not replace it in the
// channel's result before. A halt of the engine or the unload ends the wait,
// since the window thread may have stopped dispatching for good.
void announceAndWait(Library &library, std::uint32_t closuresBefore) {
  platform::sendMessage(library.readerWindow, library.messages.decode, 1, 0, [&library, closuresBefore] {
    return library.autoScanStopFlag == 1 || library.device.barcode.closures != closuresBefore;
  });
}

// Repeats scan cycles while the token is held; looked at just before each
// cycle, so that a halt, a restart or another mode set meanwhile runs no
// further cycle. A cycle that found nothing is followed by a 200 ms pause;
// one that announced a decode goes straight on, so that decodes the engine
// has already sent are taken as fast as they come.
void autoScanLoop(Library &library) {
  while (waitForRelease(library.autoScanSem) && library.autoScanStopFlag != 1) {
    while (library.autoScanStopFlag != 1 && selfTriggeredScanArmed(library.device)) {
      const std::uint32_t closures = library.device.barcode.closures;
      if (runCycle([&library] { return scanOnce(library); }))
        announceAndWait(library, closures);
      else
        pauseUnlessUnloading(kAutoScanPauseMs);
    }
  }
}

void rfidReadLoop(Library &library) {
  while (waitForRelease(library.rfidTriggerSem) && library.rfidStopFlag != 1) {
    const bool read = runCycle([&library] {
      ScanResult result;
      ReaderDevice &device = library.device;
      return rfidReadCycle(device, device.autoReadStart, device.autoReadLength, device.autoReadKey.get(), result);
    });
    if (read) postDecode(library, 2);
  }
}

void vibrateLoop(Library &library) {
  while (waitForRelease(library.vibrateSem) && library.vibrateStopFlag != 1)
    runCycle([&library] {
      vibrate(library.options.vibrateTime, pauseUnlessUnloading);
      return true;
    });
}

void feedbackLoop(Library &library) {
  while (waitForRelease(library.feedbackSem) && library.feedbackStopFlag != 1)
    runCycle([&library] {
      runGoodReadFeedback(library, pauseUnlessUnloading);
      return true;
    });
}

// A thread that cannot be created stays unstarted, and one that has ended
// (for whatever reason) is started afresh: a later start tries again.
bool startIfStopped(std::unique_ptr<platform::Thread> &thread, Library &library, void (*loop)(Library &),
                    const char *name) {
  if (thread && !thread->finished()) return true;
  thread.reset();
  thread = platform::Thread::start([&library, loop] { loop(library); }, name);
  return thread != nullptr;
}

}  // namespace

void pauseUnlessUnloading(std::uint32_t ms) {
  platform::Semaphore &unloading = library().unloadStarted;
  // Passed on, so that every other pause ends too.
  if (unloading.wait(ms) == platform::WaitResult::Signaled) unloading.release();
}

bool startBarcodeThreads(Library &library) {
  bool started = startIfStopped(library.threads.barcodeScan, library, barcodeScanLoop, "reader-scan");
  if (library.device.barcodeKind() == DeviceKind::TextEngine)
    started = startIfStopped(library.threads.autoScan, library, autoScanLoop, "reader-autoscan") && started;
  return started;
}

bool startRfidThread(Library &library) {
  return startIfStopped(library.threads.rfidRead, library, rfidReadLoop, "reader-rfid");
}

bool startFeedbackThreads(Library &library) {
  const bool vibrating = startIfStopped(library.threads.vibrate, library, vibrateLoop, "reader-vibrate");
  return startIfStopped(library.threads.feedback, library, feedbackLoop, "reader-feedback") && vibrating;
}

}  // namespace reader
