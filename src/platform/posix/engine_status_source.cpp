#include "platform/posix/engine_status_source.h"

#include <array>
#include <utility>

#include "platform/serial_port.h"

namespace reader::platform::posix {
namespace {

constexpr std::array<std::pair<std::string_view, unsigned>, 5> kModemLines{{
    {"cts", modem_line::kCts},
    {"dsr", modem_line::kDsr},
    {"dcd", modem_line::kDcd},
    {"cd", modem_line::kDcd},
    {"ri", modem_line::kRing},
}};

constexpr std::string_view kGpioPrefix = "gpio:";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view text, std::string_view name) {
  if (text.size() != name.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (lower(text[i]) != name[i]) return false;
  return true;
}

// Decimal digits only, within 32 bits.
std::optional<std::uint32_t> lineOffset(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<EngineStatusSource> parseEngineStatusSource(std::string_view text) {
  EngineStatusSource source;
  if (!text.empty() && text.front() == '!') {
    source.inverted = true;
    text.remove_prefix(1);
  }
  for (const auto &[name, bit] : kModemLines) {
    if (sameName(text, name)) {
      source.modemLine = bit;
      return source;
    }
  }
  if (text.size() <= kGpioPrefix.size() || !sameName(text.substr(0, kGpioPrefix.size()), kGpioPrefix))
    return std::nullopt;
  text.remove_prefix(kGpioPrefix.size());
  // The offset follows the last colon: a device path may hold colons itself.
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const auto offset = lineOffset(text.substr(colon + 1));
  if (!offset) return std::nullopt;
  source.kind = EngineStatusSource::Kind::Gpio;
  source.chipPath = std::string(text.substr(0, colon));
  source.gpioLine = *offset;
  return source;
}

}  // namespace reader::platform::posix
