// `readerctl tag watch [--json] [--count N] [--press | --no-press]`: every
// tag the library's auto-read announces, one line each, until `stop` is set
// (SIGINT, SIGTERM), N tags have been printed or the output cannot be written
// (a closed pipe). A trigger press starts each auto-read. Where nothing reads
// the terminal's trigger key (see pressesTrigger) a TriggerPresser stands in
// for the key driver, holding each press until a tag is announced (at most
// 1 s: the press only starts the read, which runs on by itself) and pressing
// again 200 ms after the key went up; otherwise the user presses.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "trigger_pressing.h"

namespace readerctl {

struct TagWatchRequest {
  bool json = false;
  int count = 0;  // 0: until stopped
  TriggerPressing pressing = TriggerPressing::automatic;
};

// `args` are the words after "tag watch". False, with the problem, when they
// are not a valid request.
bool parseTagWatchRequest(const std::vector<std::string> &args, TagWatchRequest &request, std::string &problem);

// Needs a started reader with an RFID module at work, on the thread that
// started it; `simulated`: the built-in simulated terminal's. Returns the
// exit status: 0 stopped or done, 1 the announcements cannot be heard.
int runTagWatchCommand(const TagWatchRequest &request, bool simulated, const std::atomic<bool> &stop, std::ostream &out,
                       std::ostream &err);

}  // namespace readerctl
