// No exception crosses the C boundary: an exported function that meets one
// (in practice only an allocation failure) returns its failure code instead.
#pragma once

#include <utility>

#include "api/library.h"

namespace reader {

// In a process forked from the one that started the reader, the call first
// lets go of what the child inherited (see releaseInheritedState).
template <class Body>
int guarded(int onFailure, Body &&body) noexcept {
  try {
    releaseInheritedState(library());
    return std::forward<Body>(body)();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace reader
