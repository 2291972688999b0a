#include "readersim/tag_text.h"

#include <stdexcept>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

TagParse failure(std::string error) { return {std::nullopt, std::move(error)}; }

// Typed text in an error: short, one line, printable.
std::string quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown = "'";
  for (char c : text.substr(0, kShown)) shown += c >= 0x20 && c < 0x7F ? c : '?';
  return shown + (text.size() > kShown ? "...'" : "'");
}

// The next ':'-separated part; the rest stays in `text`.
std::string_view takePart(std::string_view &text) {
  std::size_t colon = text.find(':');
  std::string_view part = text.substr(0, colon);
  text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  return part;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> parseUid(std::string_view text) {
  auto bytes = fromHexText(text);
  if (!bytes || bytes->empty()) return std::nullopt;
  return bytes;
}

TagParse parseTag(std::string_view text) {
  if (text.find(':') == std::string_view::npos) return failure("a tag is FAMILY:UID[:DATAHEX], not " + quoted(text));
  std::string_view rest = text;
  std::string_view familyName = takePart(rest);
  auto family = findTagFamily(familyName);
  if (!family) return failure("unknown tag family " + quoted(familyName) + "; try 'tag families'");
  const bool hasData = rest.find(':') != std::string_view::npos;
  std::string_view uidText = takePart(rest);
  auto uid = parseUid(uidText);
  if (!uid) return failure("the UID must be hexadecimal digits, two per byte, not " + quoted(uidText));
  const bool hasKey = hasData && rest.find(':') != std::string_view::npos;
  std::string_view dataText = hasData ? takePart(rest) : std::string_view();
  auto data = fromHexText(dataText);
  if (!data) return failure("DATAHEX must be hexadecimal digits, two per byte, not " + quoted(dataText));
  if (hasKey && *family != TagFamily::Mifare) return failure("only mifare tags take a KEY");
  try {
    SimTag tag(*family, std::move(*uid));
    tag.fillData(*data);
    if (hasKey) tag.setAllSectorKeys(std::string(rest));
    return {std::move(tag), {}};
  } catch (const std::invalid_argument &error) {
    return failure(error.what());
  }
}

SimTag tagOf(std::string_view text) {
  TagParse parsed = parseTag(text);
  if (!parsed) throw std::invalid_argument(parsed.error);
  return std::move(*parsed.tag);
}

std::string formatTag(const SimTag &tag) { return std::string(tag.info().name) + ":" + tag.uidText(); }

}  // namespace readersim
