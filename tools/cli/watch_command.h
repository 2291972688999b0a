// `readerctl watch [--json] [--count N] [--press | --no-press]`: every
// decode the library announces, one line each, until `stop` is set (SIGINT,
// SIGTERM), N decodes have been printed or the output cannot be written (a
// closed pipe). Stands in for the key driver as ScanDriver does, where it
// does: each press is held until a decode (at most 5 s), and the next one
// follows 200 ms after the key went up.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "reader_session.h"
#include "trigger_pressing.h"

namespace readerctl {

struct WatchRequest {
  bool json = false;
  int count = 0;  // 0: until stopped
  TriggerPressing pressing = TriggerPressing::automatic;
};

// `args` are the words after "watch". False, with the problem, when they are
// not a valid request.
bool parseWatchRequest(const std::vector<std::string> &args, WatchRequest &request, std::string &problem);

// Needs a started reader, on the thread that started it; the --barcode
// barcodes are presented once the engine's decodes are waited for. Returns the exit
// status: 0 stopped or done, 1 no barcode engine at work or the
// announcements cannot be heard.
int runWatchCommand(ReaderSession &session, const WatchRequest &request, const std::atomic<bool> &stop,
                    std::ostream &out, std::ostream &err);

}  // namespace readerctl
