// `readerctl tag read [--uid] [--start N] [--length N] [--key K] [--json]`:
// one ReadRfidData. Prints the tag type code and its family and the UID of
// the tag read and, without --uid, the data bytes read; as lines or one JSON
// object.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace readerctl {

struct TagReadRequest {
  bool uid = false;                // --uid: the UID only, no data
  int start = -1;                  // byte address; -1: the family's first data block
  int length = 16;                 // bytes wanted, 1 to 128
  std::optional<std::string> key;  // Mifare login key text; nullopt: none (the empty key)
  bool json = false;
};

// `args` are the words after "tag read". False, with the problem, when they
// are not a valid request.
bool parseTagReadRequest(const std::vector<std::string> &args, TagReadRequest &request, std::string &problem);

// Needs a started reader with an RFID module at work. Blocks for the tag
// cycle (seconds without a tag). Returns the exit status: 0 read, 1 no tag,
// or a tag but none of the data asked for.
int runTagReadCommand(const TagReadRequest &request, std::ostream &out, std::ostream &err);

}  // namespace readerctl
