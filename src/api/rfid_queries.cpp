// The last RFID tag, as applications fetch it after the announcement: its
// data bytes, its UID text and its family. Reading consumes nothing.
#include <3100XE_DLL.h>

#include "api/api_guard.h"
#include "api/buffer_copy.h"
#include "api/decode_type_codes.h"
#include "api/library.h"

namespace reader {

namespace {

int copyRfidField(ByteString ScanResult::*field, char *buffer, int size) {
  if (buffer == nullptr || size < 1) return READER_ERR_BAD_BUFFER;
  const ScanResult result = library().device.rfid.result.get();
  // Tag data may hold zero bytes: the copy goes by length, not terminator.
  return copyToBuffer((result.*field).toString(), buffer, size);
}

int decodeTagType() { return tagTypeCode(library().device.rfid.result.code()); }

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL GetDecodeRfidData(char *buffer, int size) {
  return reader::guarded(READER_ERR_BAD_BUFFER,
                         [buffer, size] { return reader::copyRfidField(&reader::ScanResult::tagData, buffer, size); });
}

READER_API int READER_CALL GetDecodeRfidUID(char *buffer, int size) {
  return reader::guarded(READER_ERR_BAD_BUFFER,
                         [buffer, size] { return reader::copyRfidField(&reader::ScanResult::data, buffer, size); });
}

READER_API int READER_CALL GetDecodeTagType(void) { return reader::guarded(0, reader::decodeTagType); }

}  // extern "C"
