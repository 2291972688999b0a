#include "tag_read_command.h"

#include "number_argument.h"
#include "tag_address.h"
#include "tag_exchange.h"

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
  const TagReadOutcome outcome = readTag(request);
  if (outcome.result < 0) {
    err << "readerctl: " << tagReadFailureText(outcome.result) << "\n";
    return 1;
  }
  return printTagRead(request, outcome, out, err);
}

}  // namespace readerctl
