#include "tag_type_names.h"

namespace readerctl {

namespace {

struct TagTypeName {
  char code;
  const char *family;
};

// One letter stands for several tag types: 'M' for every type A tag, 'Z'
// for type B including SRIX4K, 'V' for every ISO 15693 maker.
constexpr TagTypeName kNames[] = {
    {'I', "Icode"}, {'M', "ISO 14443 type A"}, {'Z', "ISO 14443 type B"},
    {'S', "SR176"}, {'T', "Tag-it"},           {'V', "ISO 15693"},
};

}  // namespace

const char *tagFamilyName(int code) {
  for (const TagTypeName &name : kNames) {
    if (name.code == code) return name.family;
  }
  return nullptr;
}

}  // namespace readerctl
