// Why a serial device cannot be opened, in words a person can act on.
// Private to the POSIX backend.
#pragma once

#include <string>

namespace reader::platform::posix {

// "permission denied (errno 13)": the reason for the errno value `error`,
// and the value itself for whoever looks further.
std::string serialErrorText(int error);

}  // namespace reader::platform::posix
