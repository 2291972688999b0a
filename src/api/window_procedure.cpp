#include "api/window_procedure.h"

#include "api/library.h"
#include "core/device_kind.h"
#include "core/scan_control.h"
#include "settings/config_block.h"

namespace reader {

std::intptr_t readerWindowProcedure(platform::WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
  Library &lib = library();
  const ReaderMessages &m = lib.messages;
  if (message != 0 && (message == m.user1Up || message == m.user2Up)) {
    if (lib.triggerKeyEnabled != 0) stopScans(lib.device, true, true);
    return 0;
  }
  if (message != 0 && (message == m.user1Down || message == m.user2Down)) {
    if (lib.triggerKeyEnabled == 0) return 0;
    // An engine that triggers itself is left to its own scanning; the read
    // waits for a self-triggered scan cycle holding the port.
    if (lib.device.barcodeKind() == DeviceKind::TextEngine && isSelfTriggeredMode(readTriggerMode(lib.device))) {
      lib.rfidTriggerSem.release();
      return 0;
    }
    // Both are released whatever is present: a semaphore without a thread
    // simply stays released.
    lib.barcodeTriggerSem.release();
    lib.rfidTriggerSem.release();
    return 0;
  }
  return platform::defaultWindowProcedure(window, message, wParam, lParam);
}

}  // namespace reader
