#include "tag_report.h"

#include <cstdio>

#include "hex_bytes.h"
#include "quoted_text.h"
#include "tag_type_names.h"

namespace readerctl {

namespace {

constexpr std::size_t kDumpWidth = 16;

bool hasChar(int code) { return code > 0x20 && code < 0x7F; }

// 86 'V' (ISO 15693); 0 (no tag type).
std::string typeText(int code) {
  if (code == 0) return "0 (no tag type)";
  std::string text = std::to_string(code);
  if (hasChar(code)) text += " '" + std::string(1, static_cast<char>(code)) + "'";
  const char *family = tagFamilyName(code);
  return text + " (" + (family != nullptr ? family : "no family known") + ")";
}

constexpr int kIso15693 = 'V';
constexpr std::size_t kIso15693UidDigits = 16;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The UID is hexadecimal text from the module; anything else it might send
// is shown escaped rather than let loose on the terminal. A kind-6 ISO 15693
// UID is shown with its parts.
std::string uidText(const Tag &tag) {
  for (const unsigned char c : tag.uid) {
    if (c <= 0x20 || c >= 0x7F) return displayQuoted(tag.uid);
  }
  if (const std::optional<UidParts> parts = uidParts(tag))
    return tag.uid + " (UID " + parts->uid + ", response flags " + parts->flags + ")";
  return tag.uid;
}

}  // namespace

std::optional<char> tagTypeChar(int typeCode) {
  if (!hasChar(typeCode)) return std::nullopt;
  return static_cast<char>(typeCode);
}

std::optional<UidParts> uidParts(const Tag &tag) {
  if (!tag.hexModule || tag.typeCode != kIso15693 || tag.uid.size() != kIso15693UidDigits + 2) return std::nullopt;
  for (const char c : tag.uid) {
    if (!isHexDigit(c)) return std::nullopt;
  }
  return UidParts{tag.uid.substr(0, kIso15693UidDigits), tag.uid.substr(kIso15693UidDigits)};
}

std::string tagJsonFields(const Tag &tag) {
  const char *family = tagFamilyName(tag.typeCode);
  const std::optional<UidParts> parts = uidParts(tag);
  return "\"type_code\": " + std::to_string(tag.typeCode) + ", \"type_char\": " +
         (hasChar(tag.typeCode) ? jsonQuoted(std::string(1, static_cast<char>(tag.typeCode))) : "null") +
         ", \"family\": " + (family != nullptr ? jsonQuoted(family) : "null") + ", \"uid\": " + jsonQuoted(tag.uid) +
         ", \"uid_bytes\": " + jsonQuoted(parts ? parts->uid : tag.uid) +
         ", \"flags\": " + (parts ? jsonQuoted(parts->flags) : "null");
}

void printTagBlock(const Tag &tag, std::ostream &out) {
  out << "Tag type:  " << typeText(tag.typeCode) << "\n"
      << "UID:       " << uidText(tag) << "\n";
}

void printDataDump(std::string_view data, std::ostream &out) {
  for (std::size_t line = 0; line < data.size(); line += kDumpWidth) {
    const std::string_view bytes = data.substr(line, kDumpWidth);
    char offset[32];
    std::snprintf(offset, sizeof offset, "%5zu ", line);
    std::string hex;
    std::string text;
    for (std::size_t i = 0; i < kDumpWidth; ++i) {
      if (i < bytes.size()) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        hex += " " + hexText(bytes.substr(i, 1));
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
      } else {
        hex += "   ";
      }
    }
    out << offset << hex << "  " << text << "\n";
  }
}

void printTagLine(const Tag &tag, std::ostream &out) {
  out << "tag " << typeText(tag.typeCode) << "  uid " << uidText(tag) << "  data "
      << (tag.data.empty() ? "none" : hexText(tag.data)) << "\n";
}

void printTagJson(const Tag &tag, std::ostream &out) {
  out << "{" << tagJsonFields(tag) << ", \"data\": " << jsonQuoted(hexText(tag.data)) << "}\n";
}

}  // namespace readerctl
