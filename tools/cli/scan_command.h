// `readerctl scan [--json] [--timeout SECONDS] [--press | --no-press]`: one
// scan. Presses trigger key 1 and holds it down until a decode is announced
// or the time-out runs out, then prints the decode. An engine that triggers
// itself is only waited for (see ScanDriver), and so is the user's press on a
// terminal whose trigger keys the library reads (see pressesTrigger).
#pragma once

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "reader_session.h"
#include "trigger_pressing.h"

namespace readerctl {

struct ScanRequest {
  bool json = false;
  std::chrono::milliseconds timeout{5000};
  TriggerPressing pressing = TriggerPressing::automatic;
};

// `args` are the words after "scan". False, with the problem, when they are
// not a valid request.
bool parseScanRequest(const std::vector<std::string> &args, ScanRequest &request, std::string &problem);

// Needs a started reader, on the thread that started it; the --barcode
// barcodes are presented once the engine's decodes are waited for. Returns the exit
// status: 0 decoded, 1 nothing decoded in time, interrupted by `stop`, no
// barcode engine at work, or the announcements cannot be heard.
int runScanCommand(ReaderSession &session, const ScanRequest &request, const std::atomic<bool> &stop, std::ostream &out,
                   std::ostream &err);

}  // namespace readerctl
