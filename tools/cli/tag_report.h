// One RFID tag as readerctl reports it: the tag type code and its family,
// the UID and the data bytes, as a block of lines, one line, or one JSON
// object.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace readerctl {

struct Tag {
  int typeCode = 0;        // GetDecodeTagType
  std::string uid;         // uppercase hexadecimal text, as GetDecodeRfidUID gives it
  std::string data;        // the data bytes read, any values
  bool hexModule = false;  // read by a kind-6 (hexadecimal-frame) module
};

// The UID text of an ISO 15693 tag read by a kind-6 module carries one byte
// more than the tag's UID: the module's answer starts with the ISO 15693
// response flags, and the byte order of the whole answer is reversed into
// the text, so they come last ("E00401A2B3C4D5E600" for the tag
// E00401A2B3C4D5E6 that a kind-5 module reports as such). The library gives
// the text as it is; readerctl shows the parts.
struct UidParts {
  std::string uid;    // the tag's own UID, 8 bytes
  std::string flags;  // the response flags byte
};
// The parts of such a UID; nullopt for every other tag.
std::optional<UidParts> uidParts(const Tag &tag);

// The tag type code as a letter ('V'); nullopt when it is no printable one.
std::optional<char> tagTypeChar(int typeCode);

// The fields every JSON object of a tag begins with, without the braces:
// type_code (number), type_char and family (strings, null without a code or
// a family), uid (the text as the library gives it), uid_bytes (the tag's
// own UID) and flags (the kind-6 module's response flags in hexadecimal,
// null for every other tag).
std::string tagJsonFields(const Tag &tag);

// "Tag type:" and "UID:" lines.
void printTagBlock(const Tag &tag, std::ostream &out);
// 16 bytes a line: their offset in `data`, the bytes in hexadecimal and the
// printable ASCII ones beside them ('.' for the rest).
void printDataDump(std::string_view data, std::ostream &out);
// All on one line, the data in hexadecimal.
void printTagLine(const Tag &tag, std::ostream &out);
// One JSON object on one line: the fields of tagJsonFields and data (the
// data bytes in hexadecimal).
void printTagJson(const Tag &tag, std::ostream &out);

}  // namespace readerctl
