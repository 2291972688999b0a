// Sockets handed over by the service manager (systemd's socket activation):
// LISTEN_PID names this process and LISTEN_FDS counts the descriptors from
// 3 on. Read without libsystemd; the variables are removed once read, so
// children do not take the sockets for theirs.
#pragma once

#include <vector>

namespace readerd {

struct ActivatedSockets {
  int unixFd = -1;          // the first listening Unix stream socket
  int tcpFd = -1;           // the first listening TCP one
  std::vector<int> others;  // anything else passed: closed by the caller
};

ActivatedSockets takeActivatedSockets();

}  // namespace readerd
