#include "api/decode_type_codes.h"

#include <span>

#include "core/device_kind.h"
#include "core/tag_type.h"

namespace reader {

namespace {

// Codes first..last map to `code`.
struct CodeRange {
  int first;
  int last;
  int code;
};

constexpr CodeRange kSsiDecodeTypes[] = {
    {1, 1, 'A'},       // Code 39
    {2, 2, 'G'},       // Codabar
    {3, 3, 'I'},       // Code 128
    {4, 4, 'j'},       // Discrete 2 of 5
    {5, 5, 'i'},       // IATA25
    {6, 6, 'E'},       // Interleave 2/5
    {7, 7, 'H'},       // Code 93
    {8, 8, '^'},       // UPC-A
    {9, 9, 'J'},       // UPC-E0
    {10, 10, 'M'},     // EAN8
    {11, 11, 'P'},     // EAN13
    {12, 12, 'g'},     // Code 11
    {14, 14, 'S'},     // MSI
    {15, 15, 'U'},     // EAN 128
    {16, 16, 'a'},     // UPC-E1
    {17, 17, 'k'},     // PDF417
    {19, 19, 'h'},     // Code 39 Full ASCII
    {21, 21, 'e'},     // Trioptic Code 39
    {22, 22, 'f'},     // Bookland
    {23, 23, 'x'},     // Coupon Code
    {26, 26, 'l'},     // Micro PDF
    {27, 27, 'm'},     // Data Matrix
    {28, 28, 'o'},     // QR Code
    {30, 30, 'p'},     // US Postnet
    {31, 31, 'q'},     // US Planet
    {32, 32, 'B'},     // Code 32
    {34, 34, 's'},     // Japan Postal
    {35, 35, 't'},     // Australian Postal
    {36, 36, 'u'},     // Dutch Postal
    {37, 37, 'n'},     // Maxicode
    {39, 39, 'r'},     // UK Postal
    {40, 40, 'w'},     // Macro PDF
    {48, 48, '['},     // RSS14
    {49, 49, '\\'},    // RSS Limited
    {50, 50, ']'},     // RSS Expanded
    {72, 72, '_'},     // UPC-A with 2 digits addenda
    {73, 73, 'K'},     // UPC-E0 with 2 digits addenda
    {74, 74, 'N'},     // EAN8 with 2 digits addenda
    {75, 75, 'Q'},     // EAN13 with 2 digits addenda
    {80, 80, 'b'},     // UPC-E1 with 2 digits addenda
    {81, 89, 'v'},     // the CC-A and CC-C composites
    {90, 90, 'd'},     // TLC-39
    {97, 104, 'v'},    // the CC-B composites
    {136, 136, '`'},   // UPC-A with 5 digits addenda
    {137, 137, 'L'},   // UPC-E0 with 5 digits addenda
    {138, 138, 'O'},   // EAN8 with 5 digits addenda
    {139, 139, 'R'},   // EAN13 with 5 digits addenda
    {144, 144, 'c'},   // UPC-E1 with 5 digits addenda
};

constexpr CodeRange kTagTypeCodes[] = {
    {TagType::Icode, TagType::Icode, 'I'},
    {TagType::MifareUltralight, TagType::MyDIso14443, 'M'},
    {TagType::Iso14443B, TagType::Iso14443B, 'Z'},
    {TagType::Sr176, TagType::Sr176, 'S'},
    {TagType::Srix4k, TagType::Srix4k, 'Z'},
    {TagType::Tagit, TagType::Tagit, 'T'},
    {TagType::Iso15693St, TagType::Iso15693, 'V'},
};

int lookUp(std::span<const CodeRange> table, int value) {
  for (const CodeRange &range : table)
    if (value >= range.first && value <= range.last) return range.code;
  return 0;
}

}  // namespace

int ssiDecodeTypeCode(int ssiNumber) { return lookUp(kSsiDecodeTypes, ssiNumber); }

int decodeTypeCode(int engineKind, int resultCode) {
  return isSsiKind(engineKind) ? ssiDecodeTypeCode(resultCode) : resultCode;
}

int tagTypeCode(int tagType) { return lookUp(kTagTypeCodes, tagType); }

}  // namespace reader
