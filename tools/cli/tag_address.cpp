#include "tag_address.h"

#include "number_argument.h"

namespace readerctl {

bool parseStartAddress(std::string_view text, int &start) {
  int value = 0;
  if (!parseNumberArgument(text, value) || value < -1) return false;
  start = value;
  return true;
}

std::string startAddressProblem(std::string_view text) {
  return "--start takes a byte address (0 or more) or -1 for the family's first data block, not '" + std::string(text) +
         "'";
}

std::string byteRangeText(int start, std::size_t count, std::size_t asked) {
  std::string text = count == asked ? std::to_string(count) : std::to_string(count) + " of " + std::to_string(asked);
  text += count == 1 && asked == 1 ? " byte" : " bytes";
  return text + (start < 0 ? " from the family's first data block" : " from byte " + std::to_string(start));
}

}  // namespace readerctl
