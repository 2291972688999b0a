// Good-read feedback after an announced decode: vibration, signal,
// indicator and sound.
#pragma once

#include "api/library.h"

namespace reader {

// Vibrates for `time` x 500 ms; 0 does nothing.
void vibrate(int time);

// The good-read signal, indicator and sound of one decode, in that order.
void runGoodReadFeedback(Library &library);

}  // namespace reader
