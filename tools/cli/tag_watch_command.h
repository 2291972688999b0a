// `readerctl tag watch [--json] [--count N]`: every tag the library's
// auto-read announces, one line each, until `stop` is set (SIGINT, SIGTERM),
// N tags have been printed or the output cannot be written (a closed pipe). A trigger press starts each auto-read; a
// TriggerPresser stands in for the key driver, holding each press until a
// tag is announced (at most 1 s: the press only starts the read, which runs
// on by itself) and pressing again 200 ms after the key went up.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace readerctl {

struct TagWatchRequest {
  bool json = false;
  int count = 0;  // 0: until stopped
};

// `args` are the words after "tag watch". False, with the problem, when they
// are not a valid request.
bool parseTagWatchRequest(const std::vector<std::string> &args, TagWatchRequest &request, std::string &problem);

// Needs a started reader with an RFID module at work, on the thread that
// started it. Returns the exit status: 0 stopped or done, 1 the announcements
// cannot be heard.
int runTagWatchCommand(const TagWatchRequest &request, const std::atomic<bool> &stop, std::ostream &out,
                       std::ostream &err);

}  // namespace readerctl
