#include "decode_report.h"

#include "quoted_text.h"

namespace readerctl {

namespace {

// 73 'I' (Code 128); 0 (no type code).
std::string typeText(const Decode &decode) {
  if (decode.typeCode == 0) return "0 (no type code)";
  std::string text = std::to_string(decode.typeCode);
  if (decode.typeCode > 0 && decode.typeCode < 256) {
    const std::string character(1, static_cast<char>(decode.typeCode));
    const std::string quoted = displayQuoted(character);
    text += " '" + quoted.substr(1, quoted.size() - 2) + "'";
  }
  return text + " (" + decode.typeName.value_or("no name known") + ")";
}

}  // namespace

void printDecodeBlock(const Decode &decode, std::ostream &out) {
  out << "Decode type:   " << typeText(decode) << "\n"
      << "Data:          " << displayQuoted(decode.data) << "\n"
      << "Output record: " << displayQuoted(decode.outputRecord) << "\n";
}

void printDecodeLine(const Decode &decode, std::ostream &out) {
  out << "type " << typeText(decode) << "  data " << displayQuoted(decode.data) << "  output record "
      << displayQuoted(decode.outputRecord) << "\n";
}

void printDecodeJson(const Decode &decode, std::ostream &out) {
  const bool hasChar = decode.typeCode > 0 && decode.typeCode < 256;
  out << "{\"type_code\": " << decode.typeCode
      << ", \"type_char\": " << (hasChar ? jsonQuoted(std::string(1, static_cast<char>(decode.typeCode))) : "null")
      << ", \"type_name\": " << (decode.typeName ? jsonQuoted(*decode.typeName) : "null")
      << ", \"data\": " << jsonQuoted(decode.data) << ", \"output_record\": " << jsonQuoted(decode.outputRecord)
      << "}\n";
}

}  // namespace readerctl
