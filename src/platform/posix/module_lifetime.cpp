// The library's lifetime as the POSIX backend sees it.
#include "platform/module_lifetime.h"

namespace reader::platform {

// Nothing to do: the backend's shared state (message and event registries,
// windows, listeners) is constructed at load with init_priority(101), before
// any default-priority static of the module, whether or not this is called,
// and is therefore destroyed after all of them, the library's own objects
// included (see posix/process_state.h).
void attachModule() {}

}  // namespace reader::platform
