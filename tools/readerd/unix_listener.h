// The service's listening Unix socket.
#pragma once

#include <optional>
#include <string>

namespace readerd {

// Binds and listens on `path` with the given mode (and group, when one is
// given), non-blocking and closed
// on exec. A stale socket file nobody answers on is replaced; a live one (a
// readerd already running) is an error. Returns the descriptor, or -1 with
// `error` set.
int listenUnix(const std::string &path, unsigned mode, std::optional<unsigned> group, std::string &error);

// readerd.sock in the service's runtime directory ($RUNTIME_DIRECTORY, which
// systemd sets), else in $XDG_RUNTIME_DIR, else /run/readerd/readerd.sock.
std::string defaultSocketPath();

}  // namespace readerd
