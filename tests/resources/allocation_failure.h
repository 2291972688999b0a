// Fails one allocation on a thread of the library's, chosen by its name, as
// a system out of memory would: this executable replaces the global
// operator new, which the statically linked library uses as well.
#pragma once

namespace resource_testing {

// The next allocation made on the thread called `threadName` throws
// std::bad_alloc; every other allocation is served as usual.
void failNextAllocationOn(const char *threadName);

// True until that allocation has been failed.
bool allocationFailurePending();

}  // namespace resource_testing
