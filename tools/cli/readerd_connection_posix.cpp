#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "readerd_connection.h"

namespace readerctl {

bool ReaderdConnection::connectTo(const std::string &path, std::string &error) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) {
    error = "cannot reach readerd at " + path + ": the path is too long for a socket";
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("cannot make a socket: ") + std::strerror(errno);
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    error = "cannot reach readerd at " + path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  socket_ = fd;
  return true;
}

bool ReaderdConnection::writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(static_cast<int>(socket_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

long ReaderdConnection::readSome(char *buffer, std::size_t size, int timeoutMs) {
  pollfd entry{static_cast<int>(socket_), POLLIN, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (ready == 0) return 0;
  const ssize_t count = ::recv(static_cast<int>(socket_), buffer, size, 0);
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  return count > 0 ? static_cast<long>(count) : -1;
}

void ReaderdConnection::closeSocket() {
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
  socket_ = -1;
}

}  // namespace readerctl
