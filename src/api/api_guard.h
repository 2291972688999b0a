// No exception crosses the C boundary: an exported function that meets one
// (in practice only an allocation failure) returns its failure code instead.
#pragma once

#include <utility>

namespace reader {

template <class Body>
int guarded(int onFailure, Body &&body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace reader
