// One RFID tag as readerctl reports it: the tag type code and its family,
// the UID and the data bytes, as a block of lines, one line, or one JSON
// object.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace readerctl {

struct Tag {
  int typeCode = 0;  // GetDecodeTagType
  std::string uid;   // uppercase hexadecimal text
  std::string data;  // the data bytes read, any values
};

// "Tag type:" and "UID:" lines.
void printTagBlock(const Tag &tag, std::ostream &out);
// 16 bytes a line: their offset in `data`, the bytes in hexadecimal and the
// printable ASCII ones beside them ('.' for the rest).
void printDataDump(std::string_view data, std::ostream &out);
// All on one line, the data in hexadecimal.
void printTagLine(const Tag &tag, std::ostream &out);
// One JSON object on one line: type_code (number), type_char and family
// (strings, null without a code or a family), uid and data (hexadecimal).
void printTagJson(const Tag &tag, std::ostream &out);

}  // namespace readerctl
