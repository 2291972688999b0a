// `readerctl tag`: the RFID module's tags.
//
//   tag read [--uid] [--start N] [--length N] [--key K] [--json]
//                                     one ReadRfidData
//   tag write --start N (--hex HEX | --text TEXT) [--key K] [--json]
//                                     one WriteRfidData
//   tag watch [--json] [--count N] [--press | --no-press]
//                                     the tags trigger presses read
//
// Works only through the library's public interface; the reader must have
// been started.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "tag_read_command.h"
#include "tag_watch_command.h"
#include "tag_write_command.h"

namespace readerctl {

using TagRequest = std::variant<TagReadRequest, TagWriteRequest, TagWatchRequest>;

// `args` are the words after "tag". False, with the problem, when they are
// not a valid request.
bool parseTagRequest(const std::vector<std::string> &args, TagRequest &request, std::string &problem);

// Runs a parsed request on the started reader, on the thread that started
// it; `simulated`: the built-in simulated terminal's. Returns the exit
// status of the command, or 1 when no RFID module is at work.
int runTagRequest(const TagRequest &request, bool simulated, const std::atomic<bool> &stop, std::ostream &out,
                  std::ostream &err);

}  // namespace readerctl
