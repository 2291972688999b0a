#include "tag_exchange.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>

#include "hex_bytes.h"
#include "last_tag.h"
#include "tag_address.h"

namespace readerctl {

namespace {

constexpr int kModuleTypes = READER_TYPE_HEX_MODULE | READER_TYPE_ASCII_MODULE;

}  // namespace

std::optional<std::string> moduleNotAtWork() {
  if ((GetReaderType() & kModuleTypes) == 0 || (GetActiveDevice() & READER_DEVICE_RFID) == 0)
    return "no RFID module is at work";
  return std::nullopt;
}

TagReadOutcome readTag(const TagReadRequest &request) {
  // Room for the most a read gives (128 bytes, a 10-byte UID as text) and
  // the terminating zero: nothing is ever cut.
  std::array<char, 256> buffer{};
  const int mode = request.uid ? READER_RFID_READ_UID : READER_RFID_READ_DATA;
  // The UID alone needs no data; one byte is the least a read may ask.
  const int length = request.uid ? 1 : request.length;
  const int start = request.uid ? -1 : request.start;
  TagReadOutcome outcome;
  outcome.result =
      ReadRfidData(mode, buffer.data(), buffer.size(), start, length, 0, request.key ? request.key->c_str() : nullptr);
  if (outcome.result < 0) return outcome;
  const std::string bytes(buffer.data(), static_cast<std::size_t>(std::min<int>(outcome.result, buffer.size() - 1)));
  outcome.tag = lastTag();
  if (request.uid) {
    outcome.tag.uid = bytes;
  } else {
    outcome.bytes = bytes;
  }
  return outcome;
}

std::string tagReadFailureText(int result) {
  return "no tag read: ReadRfidData returned " + std::to_string(result) +
         (result == READER_ERR_RFID_READ
              ? " (no tag in the field, the module did not answer, or the tag's blocks were not read whole)"
              : "");
}

int printTagRead(const TagReadRequest &request, const TagReadOutcome &outcome, std::ostream &out, std::ostream &err) {
  const std::string &bytes = outcome.bytes;
  if (request.json) {
    // Without --uid the data may be empty: the tag gave none of it.
    out << "{" << tagJsonFields(outcome.tag) << ", \"start\": " << request.start
        << ", \"data\": " << (request.uid ? "null" : "\"" + hexText(bytes) + "\"") << "}\n";
  } else {
    printTagBlock(outcome.tag, out);
  }
  if (request.uid) return 0;
  if (bytes.empty()) {
    if (!request.json) out << "Data:      none\n";
    err << "readerctl: the tag was read, but none of its data (a Mifare sector may refuse the key; a kind-6 "
           "module reads no data from ISO 14443 tags)\n";
    return 1;
  }
  if (request.json) return 0;
  out << "Data:      " << byteRangeText(request.start, bytes.size(), static_cast<std::size_t>(request.length)) << "\n";
  printDataDump(bytes, out);
  return 0;
}

TagWriteOutcome writeTag(const TagWriteRequest &request) {
  TagWriteOutcome outcome;
  const char *key = request.key ? request.key->c_str() : nullptr;
  const bool hexModule = (GetReaderType() & READER_TYPE_HEX_MODULE) != 0;
  if (hexModule) {
    // A kind-6 module writes only with the air protocol it was last set to,
    // and a fresh start has set none: find the tag first, as an application
    // reads a tag before writing to it. The read tries every protocol.
    std::array<char, 64> uid{};
    const int found = ReadRfidData(READER_RFID_READ_UID, uid.data(), uid.size(), -1, 1, 0, key);
    if (found < 0) {
      outcome.result = found;
      outcome.failure = "nothing written: no tag read (ReadRfidData returned " + std::to_string(found) + ")";
      return outcome;
    }
  }
  const std::string &data = request.data;
  int written = 0;
  const int result = WriteRfidData(reinterpret_cast<const unsigned char *>(data.data()), request.start,
                                   static_cast<int>(data.size()), &written, 0, 0, key);
  if (result != READER_OK) {
    outcome.result = result;
    std::string text = "nothing written: WriteRfidData returned " + std::to_string(result);
    const int type = GetDecodeTagType();
    if (hexModule && (type == 'M' || type == 'Z')) {
      text += " (a kind-6 module cannot write ISO 14443 tags)";
    } else if (result == READER_ERR_RFID_WRITE) {
      text += " (no tag in the field, a start outside the tag, or the first block or Mifare sector login refused)";
    }
    outcome.failure = text;
    return outcome;
  }
  outcome.result = result;
  outcome.tag = lastTag();
  outcome.written = written < 0 ? 0 : static_cast<std::size_t>(written);
  return outcome;
}

int printTagWrite(const TagWriteRequest &request, const TagWriteOutcome &outcome, std::ostream &out,
                  std::ostream &err) {
  const std::size_t requested = request.data.size();
  if (request.json) {
    out << "{" << tagJsonFields(outcome.tag) << ", \"start\": " << request.start << ", \"written\": " << outcome.written
        << ", \"requested\": " << requested << "}\n";
  } else {
    printTagBlock(outcome.tag, out);
    out << "Written:   " << byteRangeText(request.start, outcome.written, requested) << "\n";
  }
  if (outcome.written < requested) {
    err << "readerctl: the write ended early: a block or sector login was refused, or the tag's memory ended\n";
  }
  return 0;
}

}  // namespace readerctl
