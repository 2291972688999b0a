#include "tag_write_command.h"

#include <3100XE_DLL.h>

#include <array>

#include "hex_bytes.h"
#include "last_tag.h"
#include "tag_address.h"
#include "tag_report.h"

namespace readerctl {

namespace {

constexpr std::size_t kMostBytes = 128;  // the most one call writes

}  // namespace

bool parseTagWriteRequest(const std::vector<std::string> &args, TagWriteRequest &request, std::string &problem) {
  bool started = false;
  bool hasData = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--json") {
      request.json = true;
      continue;
    }
    if (arg != "--start" && arg != "--hex" && arg != "--text" && arg != "--key") {
      problem = "tag write: unexpected argument '" + arg + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      problem = "tag write: " + arg + " needs a value";
      return false;
    }
    const std::string &value = args[++i];
    if (arg == "--key") {
      request.key = value;
    } else if (arg == "--start") {
      if (!parseStartAddress(value, request.start)) {
        problem = "tag write: " + startAddressProblem(value);
        return false;
      }
      started = true;
    } else {
      if (hasData) {
        problem = "tag write: give the data once, with --hex or --text";
        return false;
      }
      hasData = true;
      std::optional<std::string> bytes = arg == "--text" ? value : parseHexBytes(value);
      if (!bytes) {
        problem = "tag write: --hex takes two hexadecimal digits per byte, e.g. 48656C6C6F, not '" + value + "'";
        return false;
      }
      if (bytes->empty() || bytes->size() > kMostBytes) {
        problem = "tag write: " + arg + " gives " + std::to_string(bytes->size()) + " bytes; a write takes 1 to 128";
        return false;
      }
      request.data = std::move(*bytes);
    }
  }
  if (!started || !hasData) {
    problem = started ? "tag write: no data: give --hex HEX or --text TEXT"
                      : "tag write: --start is needed (-1 for the family's first data block)";
    return false;
  }
  return true;
}

int runTagWriteCommand(const TagWriteRequest &request, std::ostream &out, std::ostream &err) {
  const char *key = request.key ? request.key->c_str() : nullptr;
  const bool hexModule = (GetReaderType() & READER_TYPE_HEX_MODULE) != 0;
  if (hexModule) {
    // A kind-6 module writes only with the air protocol it was last set to,
    // and a fresh start has set none: find the tag first, as an application
    // reads a tag before writing to it. The read tries every protocol.
    std::array<char, 64> uid{};
    const int found = ReadRfidData(READER_RFID_READ_UID, uid.data(), uid.size(), -1, 1, 0, key);
    if (found < 0) {
      err << "readerctl: nothing written: no tag read (ReadRfidData returned " << found << ")\n";
      return 1;
    }
  }
  const std::string &data = request.data;
  int written = 0;
  const int result = WriteRfidData(reinterpret_cast<const unsigned char *>(data.data()), request.start,
                                   static_cast<int>(data.size()), &written, 0, 0, key);
  if (result != READER_OK) {
    err << "readerctl: nothing written: WriteRfidData returned " << result;
    const int type = GetDecodeTagType();
    if (hexModule && (type == 'M' || type == 'Z')) {
      err << " (a kind-6 module cannot write ISO 14443 tags)";
    } else if (result == READER_ERR_RFID_WRITE) {
      err << " (no tag in the field, a start outside the tag, or the first block or Mifare sector login refused)";
    }
    err << "\n";
    return 1;
  }
  const std::size_t count = written < 0 ? 0 : static_cast<std::size_t>(written);
  if (request.json) {
    out << "{" << tagJsonFields(lastTag()) << ", \"start\": " << request.start << ", \"written\": " << count
        << ", \"requested\": " << data.size() << "}\n";
  } else {
    printTagBlock(lastTag(), out);
    out << "Written:   " << byteRangeText(request.start, count, data.size()) << "\n";
  }
  if (count < data.size()) {
    err << "readerctl: the write ended early: a block or sector login was refused, or the tag's memory ended\n";
  }
  return 0;
}

}  // namespace readerctl
