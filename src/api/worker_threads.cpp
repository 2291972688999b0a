#include "api/worker_threads.h"

#include "api/good_read_feedback.h"
#include "core/device_kind.h"
#include "core/scan_control.h"
#include "platform/clock.h"
#include "rfid/tag_cycle.h"

namespace reader {

namespace {

constexpr std::uint32_t kAutoScanPauseMs = 200;

bool waitForRelease(platform::Semaphore &semaphore) {
  return semaphore.wait(platform::kWaitForever) == platform::WaitResult::Signaled;
}

void postDecode(Library &library, std::uintptr_t which) {
  platform::postMessage(library.readerWindow, library.messages.decode, which, 0);
}

void barcodeScanLoop(Library &library) {
  while (waitForRelease(library.barcodeTriggerSem) && library.barcodeStopFlag != 1) {
    int code = 0;
    ByteString name, data;
    if (scanBarcode(library.device, code, name, data, library.options.scanTimeout * 1000))
      postDecode(library, 1);
  }
}

// The continuous scanning of a text engine that triggers itself: only while
// such an engine is open and the last SetReaderSettings gave the token.
bool selfTriggeredScanArmed(const ReaderDevice &device) {
  return device.barcode.autoScanToken != 0 && device.barcodePresent != 0 &&
         device.barcodeKind() == DeviceKind::TextEngine;
}

// Repeats scan cycles, 200 ms apart, while the token is held; looked at just
// before each cycle, so that a halt, a restart or another mode set during
// the pause runs no further cycle.
void autoScanLoop(Library &library) {
  while (waitForRelease(library.autoScanSem) && library.barcodeStopFlag != 1) {
    while (library.barcodeStopFlag != 1 && selfTriggeredScanArmed(library.device)) {
      int code = 0;
      ByteString name, data;
      if (scanBarcode(library.device, code, name, data, library.options.scanTimeout * 1000))
        platform::sendMessage(library.readerWindow, library.messages.decode, 1, 0);
      platform::sleepMs(kAutoScanPauseMs);
    }
  }
}

void rfidReadLoop(Library &library) {
  while (waitForRelease(library.rfidTriggerSem) && library.rfidStopFlag != 1) {
    ScanResult result;
    ReaderDevice &device = library.device;
    if (rfidReadCycle(device, device.autoReadStart, device.autoReadLength, device.autoReadKey.get(), result))
      postDecode(library, 2);
  }
}

void vibrateLoop(Library &library) {
  while (waitForRelease(library.vibrateSem) && library.barcodeStopFlag != 1)
    vibrate(library.options.vibrateTime);
}

void feedbackLoop(Library &library) {
  while (waitForRelease(library.feedbackSem) && library.barcodeStopFlag != 1)
    runGoodReadFeedback(library);
}

// A thread that cannot be created stays unstarted; a later start tries again.
void startIfStopped(std::unique_ptr<platform::Thread> &thread, Library &library, void (*loop)(Library &)) {
  if (thread) return;
  thread = platform::Thread::start([&library, loop] { loop(library); });
}

}  // namespace

void startBarcodeThreads(Library &library) {
  startIfStopped(library.threads.barcodeScan, library, barcodeScanLoop);
  if (library.device.barcodeKind() == DeviceKind::TextEngine)
    startIfStopped(library.threads.autoScan, library, autoScanLoop);
}

void startRfidThread(Library &library) { startIfStopped(library.threads.rfidRead, library, rfidReadLoop); }

void startFeedbackThreads(Library &library) {
  startIfStopped(library.threads.vibrate, library, vibrateLoop);
  startIfStopped(library.threads.feedback, library, feedbackLoop);
}

}  // namespace reader
