// Tag memory by byte address: a read or write cycle of its own on the
// calling thread, with the caller's start, length and key.
#include <3100XE_DLL.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "api/api_guard.h"
#include "api/buffer_copy.h"
#include "api/library.h"
#include "rfid/tag_cycle.h"
#include "rfid/tag_write.h"

namespace reader {

namespace {

// An absent key logs in with the empty key text.
ByteString keyText(const char *key) { return ByteString::fromText(key != nullptr ? key : ""); }

int readRfidData(int mode, char *buffer, unsigned int size, int start, int length, const char *key) {
  // A buffer of no bytes cannot even take the terminator.
  if (buffer == nullptr || size < 1 || length < 1) return READER_ERR_RFID_READ;
  ScanResult tag;
  bool wrongBlockLength = false;
  if (!rfidReadCycle(library().device, start, length, keyText(key), tag, wrongBlockLength)) return READER_ERR_RFID_READ;
  // Data that could not be read whole (block answers of the wrong length) is
  // a failed read; the UID was read all the same.
  if (mode == READER_RFID_READ_DATA && wrongBlockLength) return READER_ERR_RFID_READ;
  const ByteString *field = nullptr;
  if (mode == READER_RFID_READ_UID) field = &tag.data;
  if (mode == READER_RFID_READ_DATA) field = &tag.tagData;
  if (field == nullptr) return 0;
  const int bufferSize = size > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(size);
  return copyToBuffer(field->toString(), buffer, bufferSize);
}

int writeRfidData(const unsigned char *data, int start, int length, int *written, const char *key) {
  if (data == nullptr || length < 1) return READER_ERR_RFID_WRITE;
  // Exactly `length` bytes, zero bytes included: the data is no string.
  const ByteString bytes = ByteString::fromBytes(std::vector<std::uint8_t>(data, data + length));
  const std::uint32_t placed = writeTagData(library().device, start, bytes, keyText(key));
  if (written != nullptr) *written = static_cast<int>(placed);
  return placed != 0 ? READER_OK : READER_ERR_RFID_WRITE;
}

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL ReadRfidData(int mode, char *buffer, unsigned int size, int start, int length,
                                        int /*reserved*/, const char *key) {
  return reader::guarded(READER_ERR_RFID_READ,
                         [=] { return reader::readRfidData(mode, buffer, size, start, length, key); });
}

READER_API int READER_CALL WriteRfidData(const unsigned char *data, int start, int length, int *written,
                                         int /*reserved1*/, int /*reserved2*/, const char *key) {
  return reader::guarded(READER_ERR_RFID_WRITE,
                         [=] { return reader::writeRfidData(data, start, length, written, key); });
}

}  // extern "C"
