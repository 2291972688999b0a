// The service's listening Unix socket.
#pragma once

#include <string>

namespace readerd {

// Binds and listens on `path` with the given mode, non-blocking and closed
// on exec. A stale socket file nobody answers on is replaced; a live one (a
// readerd already running) is an error. Returns the descriptor, or -1 with
// `error` set.
int listenUnix(const std::string &path, unsigned mode, std::string &error);

// $XDG_RUNTIME_DIR/readerd.sock, else /run/readerd.sock.
std::string defaultSocketPath();

}  // namespace readerd
