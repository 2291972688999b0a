// The last barcode decode, as applications fetch it after the announcement.
// Reading consumes nothing: every call returns the same result until the
// next accepted decode replaces it.
#include <3100XE_DLL.h>

#include "api/api_guard.h"
#include "api/buffer_copy.h"
#include "api/decode_type_codes.h"
#include "api/library.h"

namespace reader {

namespace {

int decodeData(char *buffer, int size) {
  if (buffer == nullptr || size < 1) return READER_ERR_BAD_BUFFER;
  return copyToBuffer(library().device.barcode.result.get().data.toString(), buffer, size);
}

int decodeType() {
  const ReaderDevice &device = library().device;
  return decodeTypeCode(device.barcodeKind(), device.barcode.result.code());
}

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL GetDecodeData(char *buffer, int size) {
  return reader::guarded(READER_ERR_BAD_BUFFER, [buffer, size] { return reader::decodeData(buffer, size); });
}

READER_API int READER_CALL GetDecodeType(void) { return reader::guarded(0, reader::decodeType); }

}  // extern "C"
