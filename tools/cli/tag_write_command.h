// `readerctl tag write --start N (--hex HEX | --text TEXT) [--key K]
// [--json]`: one WriteRfidData. Prints the tag type code and its family and
// the UID of the tag written, and how many bytes were written; as lines or
// one JSON object. On a kind-6 module a UID read
// comes first: it selects the air protocol of the tag, which the write needs.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace readerctl {

struct TagWriteRequest {
  int start = -1;                  // byte address; -1: the family's first data block
  std::string data;                // 1 to 128 bytes, any values
  std::optional<std::string> key;  // Mifare login key text; nullopt: none (the empty key)
  bool json = false;
};

// `args` are the words after "tag write". False, with the problem, when they
// are not a valid request (a malformed --hex included).
bool parseTagWriteRequest(const std::vector<std::string> &args, TagWriteRequest &request, std::string &problem);

// Needs a started reader with an RFID module at work. Blocks for the tag
// cycles. Returns the exit status: 0 written (perhaps not all: said on `err`),
// 1 nothing written.
int runTagWriteCommand(const TagWriteRequest &request, std::ostream &out, std::ostream &err);

}  // namespace readerctl
