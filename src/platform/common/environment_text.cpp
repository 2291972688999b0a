#include "platform/common/environment_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace reader::platform::common {

bool copyEnvironmentText(const char *variable, char *out, std::size_t size) {
  const char *value = std::getenv(variable);
  if (value == nullptr || out == nullptr || size == 0) return false;
  std::size_t length = std::min(std::strlen(value), size - 1);
  std::memcpy(out, value, length);
  out[length] = '\0';
  return true;
}

}  // namespace reader::platform::common
