#include "readersim/barcode.h"

#include <charconv>
#include <stdexcept>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

constexpr std::uint8_t kEsc = 0x1B;

BarcodeParse failure(std::string error) { return {std::nullopt, std::move(error)}; }

// Typed text in an error: short, one line, printable.
std::string quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown = "'";
  for (char c : text.substr(0, kShown)) shown += c >= 0x20 && c < 0x7F ? c : '?';
  return shown + (text.size() > kShown ? "...'" : "'");
}

std::optional<int> parseSegments(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > 255) {
    return std::nullopt;
  }
  return value;
}

// Undoes the escapes of the data part; sets `error` on a bad one.
std::vector<std::uint8_t> unescaped(std::string_view text, std::string &error) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes.push_back(static_cast<std::uint8_t>(text[i]));
      continue;
    }
    if (++i == text.size()) {
      error = "a lone '\\' ends the data (write '\\\\' for a backslash)";
      return {};
    }
    switch (text[i]) {
      case '\\': bytes.push_back('\\'); break;
      case 'r': bytes.push_back('\r'); break;
      case 'n': bytes.push_back('\n'); break;
      case 't': bytes.push_back('\t'); break;
      case 'e': bytes.push_back(kEsc); break;
      case 'x': {
        auto high = i + 1 < text.size() ? hexDigit(text[i + 1]) : std::nullopt;
        auto low = i + 2 < text.size() ? hexDigit(text[i + 2]) : std::nullopt;
        if (!high || !low) {
          error = "'\\x' needs two hexadecimal digits";
          return {};
        }
        bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
        i += 2;
        break;
      }
      default:
        error = "unknown escape " + quoted(text.substr(i - 1, 2)) + " (known: \\\\ \\r \\n \\t \\e \\xHH)";
        return {};
    }
  }
  return bytes;
}

}  // namespace

BarcodeParse parseBarcode(std::string_view text) {
  std::size_t nameEnd = text.find_first_of(":/");
  // The letter of "letter=X" may itself be a colon or a slash.
  constexpr std::size_t kLetterEnd = 8;  // "letter=X"
  if (text.size() > kLetterEnd && (text[kLetterEnd] == ':' || text[kLetterEnd] == '/') &&
      findSymbology(text.substr(0, kLetterEnd)) && text.substr(0, 7).find_first_of(":/") == std::string_view::npos) {
    nameEnd = kLetterEnd;
  }
  std::size_t colon = nameEnd == std::string_view::npos ? nameEnd : text.find(':', nameEnd);
  if (colon == std::string_view::npos) {
    return failure(quoted(text) + " is not SYMBOLOGY:DATA (a ':' is missing)");
  }
  std::string_view name = text.substr(0, nameEnd);
  auto symbology = findSymbology(name);
  if (!symbology) return failure("unknown symbology " + quoted(name));

  Barcode barcode{*symbology, {}, 0};
  if (text[nameEnd] == '/') {
    std::string_view count = text.substr(nameEnd + 1, colon - nameEnd - 1);
    auto segments = parseSegments(count);
    if (!segments) return failure("bad segment count " + quoted(count) + " (1 to 255)");
    barcode.ssiSegments = *segments;
  }
  std::string error;
  barcode.data = unescaped(text.substr(colon + 1), error);
  if (!error.empty()) return failure(error);
  return {std::move(barcode), {}};
}

std::string formatBarcode(const Barcode &barcode) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = barcode.symbology.name;
  if (barcode.ssiSegments != 0) text += "/" + std::to_string(barcode.ssiSegments);
  text += ':';
  for (std::uint8_t b : barcode.data) {
    switch (b) {
      case '\\': text += "\\\\"; break;
      case '\r': text += "\\r"; break;
      case '\n': text += "\\n"; break;
      case '\t': text += "\\t"; break;
      case kEsc: text += "\\e"; break;
      default:
        if (b >= 0x20 && b < 0x7F) {
          text += static_cast<char>(b);
        } else {
          text += "\\x";
          text += kDigits[b >> 4];
          text += kDigits[b & 0x0F];
        }
    }
  }
  return text;
}

Barcode barcodeOf(std::string_view text) {
  auto parsed = parseBarcode(text);
  if (!parsed) throw std::invalid_argument(parsed.error);
  return std::move(*parsed.barcode);
}

}  // namespace readersim
