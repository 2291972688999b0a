#include "scan_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "decode_announcements.h"
#include "decode_report.h"
#include "scan_driver.h"

namespace readerctl {

namespace {

constexpr double kLongestTimeoutSeconds = 24 * 3600;

bool parseSeconds(const std::string &text, std::chrono::milliseconds &timeout) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  if (!std::isfinite(seconds) || seconds <= 0 || seconds > kLongestTimeoutSeconds) return false;
  timeout = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
  return true;
}

std::string secondsText(std::chrono::milliseconds span) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(span.count()) / 1000);
  return text;
}

}  // namespace

bool parseScanRequest(const std::vector<std::string> &args, ScanRequest &request, std::string &problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      request.json = true;
    } else if (args[i] == "--timeout") {
      if (i + 1 >= args.size()) {
        problem = "scan: --timeout needs a number of seconds";
        return false;
      }
      if (!parseSeconds(args[++i], request.timeout)) {
        problem = "scan: --timeout takes seconds above 0, e.g. 5 or 0.5, not '" + args[i] + "'";
        return false;
      }
    } else if (const std::optional<TriggerPressing> pressing = pressingWord(args[i])) {
      request.pressing = *pressing;
    } else {
      problem = "scan: unexpected argument '" + args[i] + "'";
      return false;
    }
  }
  return true;
}

int runScanCommand(ReaderSession &session, const ScanRequest &request, const std::atomic<bool> &stop, std::ostream &out,
                   std::ostream &err) {
  DecodeAnnouncements decodes;
  if (!decodes.listening()) {
    err << "readerctl: cannot receive the library's announcements\n";
    return 1;
  }
  ScanDriver driver({request.timeout, request.timeout}, pressesTrigger(request.pressing, session.simulated()));
  if (!driver.begin(err)) return 1;
  session.presentBarcodes();
  if (const std::optional<int> mode = driver.selfTriggeredMode()) {
    err << "readerctl: the engine triggers itself (trigger mode " << *mode << "); waiting for its decode\n";
  }
  if (driver.waitsForTheUser()) noteWaitingForTrigger(err);
  const std::optional<Decode> decode = driver.next(decodes, ScanDriver::Clock::now() + request.timeout, stop);
  if (!decode) {
    err << "readerctl: "
        << (stop ? "interrupted: nothing decoded" : "nothing decoded within " + secondsText(request.timeout)) << "\n";
    return 1;
  }
  if (request.json) {
    printDecodeJson(*decode, out);
  } else {
    printDecodeBlock(*decode, out);
  }
  return 0;
}

}  // namespace readerctl
