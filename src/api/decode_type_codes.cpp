#include "api/decode_type_codes.h"

#include <span>

#include "core/device_kind.h"
#include "core/symbology_table.h"
#include "core/tag_type.h"

namespace reader {

namespace {

// Codes first..last map to `code`.
struct CodeRange {
  int first;
  int last;
  int code;
};

constexpr CodeRange kTagTypeCodes[] = {
    {TagType::Icode, TagType::Icode, 'I'},         {TagType::MifareUltralight, TagType::MyDIso14443, 'M'},
    {TagType::Iso14443B, TagType::Iso14443B, 'Z'}, {TagType::Sr176, TagType::Sr176, 'S'},
    {TagType::Srix4k, TagType::Srix4k, 'Z'},       {TagType::Tagit, TagType::Tagit, 'T'},
    {TagType::Iso15693St, TagType::Iso15693, 'V'},
};

int lookUp(std::span<const CodeRange> table, int value) {
  for (const CodeRange &range : table)
    if (value >= range.first && value <= range.last) return range.code;
  return 0;
}

}  // namespace

int ssiDecodeTypeCode(int ssiNumber) {
  const symbology::SsiType *type = symbology::ssiType(ssiNumber);
  return type != nullptr ? type->typeCode : 0;
}

int decodeTypeCode(int engineKind, int resultCode) {
  return isSsiKind(engineKind) ? ssiDecodeTypeCode(resultCode) : resultCode;
}

int tagTypeCode(int tagType) { return lookUp(kTagTypeCodes, tagType); }

}  // namespace reader
