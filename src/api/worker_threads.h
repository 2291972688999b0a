// The worker threads: each waits on its semaphore, runs one cycle per
// release, and leaves its loop when it wakes to find its stop flag set.
#pragma once

#include <cstdint>

#include "api/library.h"

namespace reader {

// Start the threads a device needs, each only if it is not running (one that
// has ended is started again). False when a thread could not be created.
// The barcode threads: the auto-scan thread only for the text engine.
bool startBarcodeThreads(Library &library);
// The RFID auto-read thread.
bool startRfidThread(Library &library);
// The vibration and feedback threads.
bool startFeedbackThreads(Library &library);

// A pause of the worker threads that the unload cuts short.
void pauseUnlessUnloading(std::uint32_t ms);

}  // namespace reader
