// The library on Windows reads no trigger keys of its own: readerctl stands
// in for the key driver unless told not to.
#include "trigger_pressing.h"

namespace readerctl {

bool triggerKeysConfigured() { return false; }

}  // namespace readerctl
