#include "number_argument.h"

#include <charconv>

namespace readerctl {

bool parseNumberArgument(std::string_view text, int &value) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace readerctl
