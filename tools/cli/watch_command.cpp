#include "watch_command.h"

#include <charconv>

#include "decode_announcements.h"
#include "decode_report.h"
#include "scan_driver.h"

namespace readerctl {

namespace {

constexpr ScanDriver::Timing kTiming{std::chrono::seconds(5), std::chrono::milliseconds(200)};

}  // namespace

bool parseWatchRequest(const std::vector<std::string> &args, WatchRequest &request, std::string &problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      request.json = true;
    } else if (args[i] == "--count") {
      if (i + 1 >= args.size()) {
        problem = "watch: --count needs a number";
        return false;
      }
      const std::string &text = args[++i];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), request.count);
      if (text.empty() || error != std::errc() || end != text.data() + text.size() || request.count < 1) {
        problem = "watch: --count takes a number above 0, not '" + text + "'";
        return false;
      }
    } else if (const std::optional<TriggerPressing> pressing = pressingWord(args[i])) {
      request.pressing = *pressing;
    } else {
      problem = "watch: unexpected argument '" + args[i] + "'";
      return false;
    }
  }
  return true;
}

int runWatchCommand(ReaderSession &session, const WatchRequest &request, const std::atomic<bool> &stop,
                    std::ostream &out, std::ostream &err) {
  DecodeAnnouncements decodes;
  if (!decodes.listening()) {
    err << "readerctl: cannot receive the library's announcements\n";
    return 1;
  }
  ScanDriver driver(kTiming, pressesTrigger(request.pressing, session.simulated()));
  if (!driver.begin(err)) return 1;
  session.presentBarcodes();
  if (const std::optional<int> mode = driver.selfTriggeredMode()) {
    err << "readerctl: the engine triggers itself (trigger mode " << *mode << "); waiting for its decodes\n";
  }
  if (driver.waitsForTheUser()) noteWaitingForTrigger(err);
  for (int printed = 0; request.count == 0 || printed < request.count; ++printed) {
    const std::optional<Decode> decode = driver.next(decodes, ScanDriver::Clock::time_point::max(), stop);
    if (!decode) break;
    if (request.json) {
      printDecodeJson(*decode, out);
    } else {
      printDecodeLine(*decode, out);
    }
    // Output that can no longer be written (a closed pipe) ends the watch
    // as a stop signal does.
    if (!out.flush()) break;
  }
  return 0;
}

}  // namespace readerctl
