#include "api/buffer_copy.h"

#include <cstring>

namespace reader {

int copyToBuffer(std::string_view text, char *buffer, int size) {
  const auto n = static_cast<long long>(text.size());
  if (size >= n + 1) {
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    return static_cast<int>(n);
  }
  std::memcpy(buffer, text.data(), static_cast<std::size_t>(size - 1));
  buffer[size - 1] = 0;
  return size;
}

}  // namespace reader
