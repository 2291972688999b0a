// API result codes in words, for readerctl's messages.
#pragma once

#include <string>

namespace readerctl {

std::string describeResult(int code);

}  // namespace readerctl
