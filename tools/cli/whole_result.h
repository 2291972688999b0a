// Reads a query's result whatever its length: the library's result queries
// return the buffer size when they had to cut the result, so the buffer
// grows until the whole result fits.
#pragma once

#include <string>
#include <vector>

namespace readerctl {

// `query(buffer, size)` copies into the buffer and returns the length, the
// size when cut, or a negative code (an empty result then). Gives up
// growing at 1 MiB.
template <typename Query>
std::string readWhole(Query query) {
  std::vector<char> buffer(256);
  for (;;) {
    const int size = static_cast<int>(buffer.size());
    const int length = query(buffer.data(), size);
    if (length < 0) return {};
    if (length < size || buffer.size() >= (1u << 20)) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace readerctl
