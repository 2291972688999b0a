#include "tag_watch_command.h"

#include <3100XE_DLL.h>

#include "tag_announcements.h"
#include "trigger_presser.h"
#include "watch_command.h"

namespace readerctl {

namespace {

constexpr TriggerPresser::Timing kTiming{std::chrono::seconds(1), std::chrono::milliseconds(200)};

}  // namespace

bool parseTagWatchRequest(const std::vector<std::string> &args, TagWatchRequest &request, std::string &problem) {
  // The same words as the barcode watch.
  WatchRequest watch;
  if (!parseWatchRequest(args, watch, problem)) {
    problem = "tag " + problem;
    return false;
  }
  request = {watch.json, watch.count, watch.pressing};
  return true;
}

int runTagWatchCommand(const TagWatchRequest &request, bool simulated, const std::atomic<bool> &stop, std::ostream &out,
                       std::ostream &err) {
  TagAnnouncements tags;
  if (!tags.listening()) {
    err << "readerctl: cannot receive the library's announcements\n";
    return 1;
  }
  SetTriggerKey(1);
  const bool pressing = pressesTrigger(request.pressing, simulated);
  if (!pressing) noteWaitingForTrigger(err);
  TriggerPresser presser(kTiming);
  for (int printed = 0; request.count == 0 || printed < request.count; ++printed) {
    std::optional<Tag> tag;
    if (!presser.dispatchUntil([&] { return (tag = tags.take()).has_value(); },
                               TriggerPresser::Clock::time_point::max(), stop, pressing)) {
      break;
    }
    if (request.json) {
      printTagJson(*tag, out);
    } else {
      printTagLine(*tag, out);
    }
    // Output that can no longer be written (a closed pipe) ends the watch
    // as a stop signal does.
    if (!out.flush()) break;
  }
  return 0;
}

}  // namespace readerctl
