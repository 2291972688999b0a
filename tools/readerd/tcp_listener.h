// The optional TCP listener, on the loopback address only: programs on the
// terminal that speak TCP rather than Unix sockets. Its clients may only
// read (queries and subscriptions).
#pragma once

#include <string>

namespace readerd {

// Binds 127.0.0.1:`port` (0: a port the system chooses), non-blocking and
// closed on exec. The descriptor, or -1 with `error` set.
int listenTcpLoopback(int port, std::string &error);

// The port a TCP listener is bound to; 0 when unknown.
int boundTcpPort(int fd);

}  // namespace readerd
