#include "socket_activation.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace readerd {

namespace {

constexpr int kFirstPassedFd = 3;

int socketFamily(int fd) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) return -1;
  int listening = 0;
  socklen_t flagSize = sizeof listening;
  if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagSize) != 0 || listening == 0) return -1;
  return address.ss_family;
}

}  // namespace

ActivatedSockets takeActivatedSockets() {
  ActivatedSockets sockets;
  const char *pid = std::getenv("LISTEN_PID");
  const char *fds = std::getenv("LISTEN_FDS");
  const bool ours = pid != nullptr && fds != nullptr && std::strtol(pid, nullptr, 10) == ::getpid();
  const long count = ours ? std::strtol(fds, nullptr, 10) : 0;
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  for (long i = 0; i < count && i < 64; ++i) {
    const int fd = kFirstPassedFd + static_cast<int>(i);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int family = socketFamily(fd);
    if (family == AF_UNIX && sockets.unixFd < 0) {
      sockets.unixFd = fd;
    } else if ((family == AF_INET || family == AF_INET6) && sockets.tcpFd < 0) {
      sockets.tcpFd = fd;
    } else {
      sockets.others.push_back(fd);
    }
  }
  return sockets;
}

}  // namespace readerd
