// The worker threads: each waits on its semaphore, runs one cycle per
// release, and leaves its loop when it wakes to find its stop flag set.
#pragma once

#include "api/library.h"

namespace reader {

// Starts the barcode threads for the engine's kind (the auto-scan thread
// only for the text engine), each only if it is not running yet.
void startBarcodeThreads(Library &library);
// Starts the RFID auto-read thread if it is not running.
void startRfidThread(Library &library);
// Starts the vibration and feedback threads if they are not running.
void startFeedbackThreads(Library &library);

}  // namespace reader
