// One simulated terminal for a whole fuzzing run, and the library started
// on it once: the targets that need real devices pay for the start once.
#pragma once

#include <readersim/readersim.h>

namespace readerfuzz {

// Builds the terminal, points the library at it and runs InitReader; ends
// the process when the reader does not start, since no input could then
// test anything.
readersim::Terminal &startSimulatedReader(const readersim::TerminalConfig &config);

// Empties the devices' traffic logs. The targets never read them, and a log
// kept for a whole run grows by every exchange until the run runs out of
// memory; each input calls this first.
void forgetSimulatedTraffic();

}  // namespace readerfuzz
