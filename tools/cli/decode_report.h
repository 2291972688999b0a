// One announced barcode decode as readerctl reports it: the type code, its
// name, the data and the output record, as a block of lines, one line, or
// one JSON object.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace readerctl {

struct Decode {
  int typeCode = 0;                     // GetDecodeType
  std::optional<std::string> typeName;  // nullopt: a code without a name
  std::string data;                     // GetDecodeData
  std::string outputRecord;             // GetOutputRecord(7, ...)
};

// "Decode type:", "Data:" and "Output record:" lines.
void printDecodeBlock(const Decode &decode, std::ostream &out);
// All on one line.
void printDecodeLine(const Decode &decode, std::ostream &out);
// One JSON object on one line: type_code (number), type_char and type_name
// (strings, null without a code or a name), data and output_record.
void printDecodeJson(const Decode &decode, std::ostream &out);

}  // namespace readerctl
