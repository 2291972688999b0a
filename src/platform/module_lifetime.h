// The platform's own state and the library's lifetime.
//
// Required of every backend.
#pragma once

namespace reader::platform {

// Called once as the library loads, before it creates anything else. Brings
// the platform's shared state (message and event registries, windows,
// listeners) into being, so that it outlives everything the library creates:
// it is torn down only after the library's own objects at unload.
void attachModule();

}  // namespace reader::platform
