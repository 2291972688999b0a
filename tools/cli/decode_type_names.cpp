#include "decode_type_names.h"

#include <map>
#include <string>

#include "core/symbology_table.h"

namespace readerctl {

namespace {

struct Names {
  std::map<int, std::string> textEngine, ssiEngine;
};

// Built once from the library's own symbology tables. The text engine
// cannot tell UPC-A from EAN-13 by the letter alone (the library decides by
// the data); the SSI composites all share one letter.
const Names &names() {
  static const Names built = [] {
    namespace symbology = reader::symbology;
    Names n;
    for (const symbology::TextEngineType &type : symbology::kTextEngineTypes)
      n.textEngine[type.letter] =
          type.ean13Name != nullptr ? std::string(type.name) + " or " + type.ean13Name : type.name;
    std::map<int, int> sharing;
    for (const symbology::SsiType &type : symbology::kSsiTypes) {
      if (type.typeCode == 0) continue;
      if (sharing[type.typeCode]++ == 0) n.ssiEngine[type.typeCode] = type.name;
    }
    for (const auto &[code, count] : sharing)
      if (count > 1) n.ssiEngine[code] = "Composite (CC-A, CC-B or CC-C)";
    return n;
  }();
  return built;
}

const char *find(const std::map<int, std::string> &table, int code) {
  const auto found = table.find(code);
  return found != table.end() ? found->second.c_str() : nullptr;
}

}  // namespace

const char *decodeTypeName(int code, bool textEngine) {
  return find(textEngine ? names().textEngine : names().ssiEngine, code);
}

}  // namespace readerctl
