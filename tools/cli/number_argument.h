// Whole numbers given as command arguments.
#pragma once

#include <string_view>

namespace readerctl {

// A decimal integer, optionally negative, and nothing else; false (`value`
// unchanged) otherwise.
bool parseNumberArgument(std::string_view text, int &value);

}  // namespace readerctl
