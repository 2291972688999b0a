#include "readersim/symbology.h"

#include <cctype>
#include <charconv>

namespace readersim {
namespace {

constexpr char kNoLetter = 0;
constexpr int kNoSsi = -1;

// The kind-2 engine reports UPC-A and EAN-13 (and Bookland, an EAN-13) with
// one letter; the host tells them apart by the data. The SSI engines number
// every variant on its own.
constexpr SymbologyEntry kTable[] = {
    {"code39", 'A', 1},
    {"code32", 'B', 32},  // Italian Pharmacode
    {"frenchpharma", 'C', kNoSsi},
    {"d2of5", 'D', 4},  // Industrial (Discrete) 2 of 5
    {"i2of5", 'E', 6},
    {"matrix2of5", 'F', kNoSsi},
    {"codabar", 'G', 2},
    {"code93", 'H', 7},
    {"code128", 'I', 3},
    {"upce", 'J', 9},
    {"upce+2", 'K', 73},
    {"upce+5", 'L', 137},
    {"ean8", 'M', 10},
    {"ean8+2", 'N', 74},
    {"ean8+5", 'O', 138},
    {"upca", 'P', 8},
    {"ean13", 'P', 11},
    {"upca+2", 'Q', 72},
    {"ean13+2", 'Q', 75},
    {"upca+5", 'R', 136},
    {"ean13+5", 'R', 139},
    {"msi", 'S', 14},
    {"plessey", 'T', kNoSsi},
    {"ean128", 'U', 15},
    {"telepen", 'Z', kNoSsi},
    {"rss14", '[', 48},
    {"upce1", 'J', 16},
    {"upce1+2", 'K', 80},
    {"upce1+5", 'L', 144},
    {"bookland", 'P', 22},
    {"iata2of5", kNoLetter, 5},
    {"code11", kNoLetter, 12},
    {"pdf417", kNoLetter, 17},
    {"code39ascii", kNoLetter, 19},
    {"trioptic39", kNoLetter, 21},
    {"coupon", kNoLetter, 23},
    {"isbt128", kNoLetter, 25},
    {"micropdf", kNoLetter, 26},
    {"datamatrix", kNoLetter, 27},
    {"qr", kNoLetter, 28},
    {"postnet", kNoLetter, 30},
    {"planet", kNoLetter, 31},
    {"isbt128concat", kNoLetter, 33},
    {"japanpost", kNoLetter, 34},
    {"auspost", kNoLetter, 35},
    {"dutchpost", kNoLetter, 36},
    {"maxicode", kNoLetter, 37},
    {"postbar", kNoLetter, 38},
    {"ukpost", kNoLetter, 39},
    {"macropdf", kNoLetter, 40},
    {"rsslimited", kNoLetter, 49},
    {"rssexpanded", kNoLetter, 50},
    {"fnc3", kNoLetter, 51},
    {"webcode", kNoLetter, 55},
    {"cuecat", kNoLetter, 56},
    {"cca-ean128", kNoLetter, 81},
    {"cca-ean13", kNoLetter, 82},
    {"cca-ean8", kNoLetter, 83},
    {"cca-rssexpanded", kNoLetter, 84},
    {"cca-rsslimited", kNoLetter, 85},
    {"cca-rss14", kNoLetter, 86},
    {"cca-upca", kNoLetter, 87},
    {"cca-upce", kNoLetter, 88},
    {"ccc-ean128", kNoLetter, 89},
    {"tlc39", kNoLetter, 90},
    {"ccb-ean128", kNoLetter, 97},
    {"ccb-ean13", kNoLetter, 98},
    {"ccb-ean8", kNoLetter, 99},
    {"ccb-rssexpanded", kNoLetter, 100},
    {"ccb-rsslimited", kNoLetter, 101},
    {"ccb-rss14", kNoLetter, 102},
    {"ccb-upca", kNoLetter, 103},
    {"ccb-upce", kNoLetter, 104},
};

struct Alias {
  std::string_view alias;
  std::string_view name;
};

constexpr Alias kAliases[] = {
    {"italianpharma", "code32"},
    {"cip39", "frenchpharma"},
    {"industrial2of5", "d2of5"},
    {"discrete2of5", "d2of5"},
    {"standard2of5", "d2of5"},
    {"interleaved2of5", "i2of5"},
    {"itf", "i2of5"},
    {"upce0", "upce"},
    {"gs1128", "ean128"},
    {"databar", "rss14"},
    {"databarlimited", "rsslimited"},
    {"databarexpanded", "rssexpanded"},
    {"iata25", "iata2of5"},
    {"code39fullascii", "code39ascii"},
    {"trioptic", "trioptic39"},
    {"qrcode", "qr"},
    {"micropdf417", "micropdf"},
    {"kix", "dutchpost"},
};

std::string normalised(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return key;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

Symbology fromEntry(const SymbologyEntry &entry) {
  Symbology symbology{std::string(entry.name), std::nullopt, std::nullopt};
  if (entry.letter != kNoLetter) symbology.letter = entry.letter;
  if (entry.ssiType != kNoSsi) symbology.ssiType = static_cast<std::uint8_t>(entry.ssiType);
  return symbology;
}

std::optional<std::uint8_t> parseByte(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFF) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

}  // namespace

std::span<const SymbologyEntry> symbologyTable() { return kTable; }

std::optional<Symbology> findSymbology(std::string_view name) {
  if (startsWithNoCase(name, "letter=")) {
    std::string_view letter = name.substr(7);
    if (letter.size() != 1 || letter[0] == '\r') return std::nullopt;
    return Symbology{std::string("letter=") + letter[0], letter[0], std::nullopt};
  }
  if (startsWithNoCase(name, "ssi=")) {
    auto type = parseByte(name.substr(4));
    if (!type) return std::nullopt;
    return Symbology{"ssi=" + std::to_string(*type), std::nullopt, type};
  }
  std::string key = normalised(name);
  for (const Alias &alias : kAliases) {
    if (key == alias.alias) {
      key = alias.name;
      break;
    }
  }
  for (const SymbologyEntry &entry : symbologyTable()) {
    if (normalised(entry.name) == key) return fromEntry(entry);
  }
  return std::nullopt;
}

}  // namespace readersim
