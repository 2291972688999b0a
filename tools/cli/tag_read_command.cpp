#include "tag_read_command.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>

#include "hex_bytes.h"
#include "last_tag.h"
#include "number_argument.h"
#include "tag_address.h"
#include "tag_report.h"

namespace readerctl {

namespace {

constexpr int kMostBytes = 128;  // the most one call reads

}  // namespace

bool parseTagReadRequest(const std::vector<std::string> &args, TagReadRequest &request, std::string &problem) {
  bool addressed = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--uid" || arg == "--json") {
      (arg == "--uid" ? request.uid : request.json) = true;
      continue;
    }
    if (arg != "--start" && arg != "--length" && arg != "--key") {
      problem = "tag read: unexpected argument '" + arg + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      problem = "tag read: " + arg + " needs a value";
      return false;
    }
    const std::string &value = args[++i];
    if (arg == "--key") {
      request.key = value;
    } else if (arg == "--start") {
      addressed = true;
      if (!parseStartAddress(value, request.start)) {
        problem = "tag read: " + startAddressProblem(value);
        return false;
      }
    } else {
      addressed = true;
      if (!parseNumberArgument(value, request.length) || request.length < 1 || request.length > kMostBytes) {
        problem = "tag read: --length takes 1 to 128 bytes, not '" + value + "'";
        return false;
      }
    }
  }
  if (request.uid && addressed) {
    problem = "tag read: --uid reads no data, so --start and --length do not go with it";
    return false;
  }
  return true;
}

int runTagReadCommand(const TagReadRequest &request, std::ostream &out, std::ostream &err) {
  // Room for the most a read gives (128 bytes, a 10-byte UID as text) and
  // the terminating zero: nothing is ever cut.
  std::array<char, 256> buffer{};
  const int mode = request.uid ? READER_RFID_READ_UID : READER_RFID_READ_DATA;
  // The UID alone needs no data; one byte is the least a read may ask.
  const int length = request.uid ? 1 : request.length;
  const int start = request.uid ? -1 : request.start;
  const int result =
      ReadRfidData(mode, buffer.data(), buffer.size(), start, length, 0, request.key ? request.key->c_str() : nullptr);
  if (result < 0) {
    err << "readerctl: no tag read: ReadRfidData returned " << result
        << (result == READER_ERR_RFID_READ
                ? " (no tag in the field, the module did not answer, or the tag's blocks were not read whole)"
                : "")
        << "\n";
    return 1;
  }
  const std::string bytes(buffer.data(), static_cast<std::size_t>(std::min<int>(result, buffer.size() - 1)));
  Tag tag = lastTag();
  if (request.uid) tag.uid = bytes;
  if (request.json) {
    // Without --uid the data may be empty: the tag gave none of it.
    out << "{" << tagJsonFields(tag) << ", \"start\": " << request.start
        << ", \"data\": " << (request.uid ? "null" : "\"" + hexText(bytes) + "\"") << "}\n";
  } else {
    printTagBlock(tag, out);
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

}  // namespace readerctl
