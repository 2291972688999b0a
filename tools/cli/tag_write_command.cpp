#include "tag_write_command.h"

#include "hex_bytes.h"
#include "tag_address.h"
#include "tag_exchange.h"

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
  const TagWriteOutcome outcome = writeTag(request);
  if (outcome.failure) {
    err << "readerctl: " << *outcome.failure << "\n";
    return 1;
  }
  return printTagWrite(request, outcome, out, err);
}

}  // namespace readerctl
