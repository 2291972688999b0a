#include "api/output_record.h"

#include <3100XE_DLL.h>

#include <cstdio>

#include "api/api_guard.h"
#include "api/buffer_copy.h"
#include "api/decode_type_codes.h"
#include "api/library.h"

namespace reader {

namespace {

// The keyboard path copies the record through a buffer of this size.
constexpr int kKeyboardRecordBuffer = 1000;

struct Terminator {
  int option;
  char character;
};
constexpr Terminator kTerminators[] = {
    {1, '\r'}, {2, '\t'}, {3, ' '}, {4, ','}, {5, ';'},
};
constexpr int kTerminatorAfter = 1;
constexpr int kTerminatorBefore = 2;

char terminatorFor(int option) {
  for (const Terminator &t : kTerminators)
    if (t.option == option) return t.character;
  return 0;
}

// At least four digits, zero-padded; more when the sum needs them.
void appendLengthField(ByteString &record, unsigned long long length) {
  char field[24];
  std::snprintf(field, sizeof field, "%04llu", length);
  record.appendText(field);
}

void appendCharacter(ByteString &record, int character) { record.append(static_cast<std::int16_t>(character)); }

ByteString barcodeRecord(const Library &lib) {
  const LibraryOptions &options = lib.options;
  const ScanResult result = lib.device.barcode.result.get();
  const ByteString prefix = options.outputPrefix.get();
  const ByteString suffix = options.outputSuffix.get();
  ByteString record;
  if (options.outputTypeCode != 0) appendCharacter(record, decodeTypeCode(lib.device.barcodeKind(), result.code));
  if (options.outputLength != 0)
    appendLengthField(record, 0ULL + prefix.length() + result.data.length() + suffix.length());
  record.append(prefix);
  record.append(result.data);
  record.append(suffix);
  return record;
}

ByteString rfidRecord(const Library &lib) {
  const LibraryOptions &options = lib.options;
  const ScanResult result = lib.device.rfid.result.get();
  const ByteString prefix = options.outputPrefix.get();
  const ByteString suffix = options.outputSuffix.get();
  const bool uid = options.rfidOutputUid != 0;
  const bool tagData = options.rfidOutputData != 0;
  const int separator = options.rfidDataSeparator;
  ByteString record;
  if (options.outputTypeCode != 0) appendCharacter(record, tagTypeCode(result.code));
  // The length counts prefix, UID and suffix whether or not they are output.
  if (options.outputLength != 0)
    appendLengthField(record, 0ULL + prefix.length() + result.data.length() + suffix.length());
  if (uid) {
    record.append(prefix);
    record.append(result.data);
    record.append(suffix);
  }
  if (uid && tagData && separator != 0) appendCharacter(record, separator);
  if (tagData) record.append(result.tagData);
  return record;
}

int copyOutputRecord(int mask, char *buffer, int size) {
  if (buffer == nullptr || size < 1) return READER_ERR_BAD_BUFFER;
  return copyToBuffer(buildOutputRecord(mask).toString(), buffer, size);
}

}  // namespace

ByteString buildOutputRecord(int mask) {
  const Library &lib = library();
  if (mask == READER_DEVICE_BARCODE) return barcodeRecord(lib);
  if (mask == READER_DEVICE_RFID) return rfidRecord(lib);
  return ByteString();
}

void buildTerminatedRecord(int which, ByteString &out) {
  out.reset();
  if (which != 1 && which != 2) return;
  char buffer[kKeyboardRecordBuffer] = {};
  copyOutputRecord(which == 1 ? READER_DEVICE_BARCODE : READER_DEVICE_RFID, buffer, sizeof buffer);
  out.assign(buffer);
  const char terminator = terminatorFor(library().options.terminatorChar);
  if (terminator == 0) return;
  const int position = library().options.terminatorPosition;
  if (position == kTerminatorAfter) {
    out.append(terminator);
  } else if (position == kTerminatorBefore) {
    ByteString record(out);
    out.reset();
    out.append(terminator);
    out.append(record);
  }
}

}  // namespace reader

extern "C" {

READER_API int READER_CALL GetOutputRecord(int deviceMask, char *buffer, int size) {
  return reader::guarded(READER_ERR_BAD_BUFFER,
                         [deviceMask, buffer, size] { return reader::copyOutputRecord(deviceMask, buffer, size); });
}

}  // extern "C"
