// The POSIX host's query of the link speeds, for tools that show them: the
// Windows DLL exports only the terminal's own functions.
#include <3100XE_DLL.h>

#include "api/api_guard.h"
#include "api/library.h"

#if !defined(_WIN32)

namespace reader {

namespace {

int linkSpeed(int port) {
  const ReaderDevice &device = library().device;
  if (port == 1) return device.barcodePresent != 0 ? device.barcode.baudRate.load() : 0;
  if (port == 2) return device.rfidPresent != 0 ? device.rfid.baudRate.load() : 0;
  return 0;
}

}  // namespace

}  // namespace reader

READER_API int READER_CALL ReaderHostGetLinkSpeed(int port) {
  return reader::guarded(0, [port] { return reader::linkSpeed(port); });
}

#endif
