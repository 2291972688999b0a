// The serial trace: every frame sent and received, in hexadecimal.
//
// Required of every backend. Off unless the environment variable
// READER_TRACE is set to a nonempty value other than "0"; the lines go to the
// host's output listener when one is set, else to standard error.
#pragma once

namespace reader::platform {

bool traceEnabled();
void traceLine(const char *line);

}  // namespace reader::platform
