#include "api/window_procedure.h"

#include "api/keyboard_output.h"
#include "api/library.h"
#include "api/output_record.h"
#include "core/device_kind.h"
#include "core/scan_control.h"
#include "rfid/trigger_release.h"
#include "settings/config_block.h"

namespace reader {

namespace {

constexpr std::uintptr_t kBarcodeDecode = 1;
constexpr std::uintptr_t kRfidDecode = 2;
constexpr std::uintptr_t kBarcodeMask = 7;
constexpr std::uintptr_t kRfidMask = 32;

bool isOneOf(std::uint32_t message, std::uint32_t a, std::uint32_t b) {
  return message != 0 && (message == a || message == b);
}

void triggerPressed(Library &lib) {
  if (lib.triggerKeyEnabled == 0) return;
  // An engine that triggers itself is left to its own scanning. The mode
  // comes from the copy kept beside the block: a press never waits for the
  // port, whoever holds it.
  if (lib.device.barcodeKind() == DeviceKind::TextEngine && isSelfTriggeredMode(readTriggerMode(lib.device))) {
    lib.rfidTriggerSem.release();
    return;
  }
  armTriggerScan(lib.device);
  // Both are released whatever is present: a semaphore without a thread
  // simply stays released.
  lib.barcodeTriggerSem.release();
  lib.rfidTriggerSem.release();
}

// Types the record when asked, starts the feedback, and tells every
// application and the named event.
void announce(Library &lib, int which) {
  if (lib.options.keyboardOutput != 0) {
    ByteString record;
    buildTerminatedRecord(which, record);
    typeRecord(record);
  }
  lib.vibrateSem.release();
  lib.feedbackSem.release();
  platform::postMessage(platform::kBroadcastWindow, lib.messages.decodeData,
                        which == kBarcodeDecode ? kBarcodeMask : kRfidMask, 0);
  if (which == kBarcodeDecode)
    lib.events.setBarcode();
  else
    lib.events.setRfid();
}

std::intptr_t handleMessage(platform::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) {
  Library &lib = library();
  const ReaderMessages &m = lib.messages;
  if (isOneOf(message, m.user1Up, m.user2Up)) {
    if (lib.triggerKeyEnabled != 0) stopScans(lib.device, true, true);
    return 0;
  }
  if (isOneOf(message, m.user1Down, m.user2Down)) {
    triggerPressed(lib);
    return 0;
  }
  if (message != 0 && message == m.decode) {
    if (wParam == kBarcodeDecode || wParam == kRfidDecode) announce(lib, static_cast<int>(wParam));
    return 0;
  }
  return platform::defaultWindowProcedure(window, message, wParam, lParam);
}

}  // namespace

std::intptr_t readerWindowProcedure(platform::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  // Runs inside the application's message loop: nothing may escape it.
  try {
    return handleMessage(window, message, wParam, lParam);
  } catch (...) {  // std::bad_alloc while building the record
    return 0;
  }
}

}  // namespace reader
