// The host's two listeners (ReaderHostSetBroadcastListener,
// ReaderHostSetOutputListener) and the backend's way of calling them.
//
// Private to the POSIX backend. Safe from any thread.
//
// Replacing a listener: the setter stores the new listener and context, then
// waits until every call of the replaced listener that was already running
// (on other threads) has returned, so that after the set call returns the old
// listener is not running and its context may be freed. A set call made from
// inside a listener call (any listener, on the same thread) does not wait:
// that thread cannot wait for itself, and not waiting there also rules out two
// listeners waiting for each other. Calls are made without any backend lock
// held, so a listener may call back into the host API (post, dispatch...).
#pragma once

#include "3100XE_DLL.h"

namespace reader::platform::posix {

void setBroadcastListener(ReaderBroadcastListener listener, void *context);
void setOutputListener(ReaderOutputListener listener, void *context);

// Calls the broadcast listener, if one is set, on the calling thread.
void emitBroadcast(const char *messageName, long wParam, long lParam);

// Hands `output` to the output listener, if one is set, on the calling
// thread. true when a listener took it.
bool emitOutput(const ReaderOutput &output);

// The output kinds the host handles itself, as (1 << kind) bits
// (ReaderHostSetHandledOutputs); the terminal's own drivers take the others.
// Until the host says, a host with an output listener handles every kind and
// one without handles none.
void setHandledOutputs(unsigned kinds);
bool hostHandlesOutput(int kind);

}  // namespace reader::platform::posix
