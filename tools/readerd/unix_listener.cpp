#include "unix_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace readerd {

namespace {

bool addressOf(const std::string &path, sockaddr_un &address, std::string &error) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "socket path empty or too long: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Whether something accepts connections on `path`.
bool answered(const sockaddr_un &address) {
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool live = ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
  ::close(probe);
  return live;
}

}  // namespace

std::string defaultSocketPath() {
  for (const char *variable : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"}) {
    const char *directory = std::getenv(variable);
    if (directory != nullptr && directory[0] == '/') return std::string(directory) + "/readerd.sock";
  }
  return "/run/readerd/readerd.sock";
}

int listenUnix(const std::string &path, unsigned mode, std::optional<unsigned> group, std::string &error) {
  sockaddr_un address;
  if (!addressOf(path, address, error)) return -1;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      error = path + " exists and is not a socket";
      return -1;
    }
    if (answered(address)) {
      error = "another service already listens on " + path;
      return -1;
    }
    ::unlink(path.c_str());
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  // The mode holds from the bind on: no moment with a wider one.
  const mode_t previous = ::umask(static_cast<mode_t>(~mode & 0777));
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
  const int bindError = errno;
  ::umask(previous);
  if (bound != 0) {
    error = "bind " + path + ": " + std::strerror(bindError);
    ::close(fd);
    return -1;
  }
  if (group && ::chown(path.c_str(), static_cast<uid_t>(-1), static_cast<gid_t>(*group)) != 0) {
    error = "chown " + path + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    return -1;
  }
  if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0 || ::listen(fd, 128) != 0) {
    error = "listen " + path + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    return -1;
  }
  return fd;
}

}  // namespace readerd
