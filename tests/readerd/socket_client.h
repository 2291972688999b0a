// A client of readerd's socket as a program would be one: it writes request
// lines and reads the objects that come back, each parsed.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "json_line.h"
#include "support/test_terminal.h"

namespace readerd_testing {

class SocketClient {
 public:
  // Connects to `path`; connected() says whether it worked. A receive
  // buffer size other than 0 is set before the connection.
  explicit SocketClient(const std::string &path, int receiveBuffer = 0) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~SocketClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  SocketClient(const SocketClient &) = delete;
  SocketClient &operator=(const SocketClient &) = delete;

  bool connected() const { return fd_ >= 0; }
  // Whether the service closed the connection (rather than said nothing).
  bool closedByPeer() const { return closedByPeer_; }
  int fd() const { return fd_; }

  // Writes all of `bytes` (blocking).
  bool write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  // The next line, without its '\n'; nullopt when none comes in time or the
  // connection ends.
  std::optional<std::string> readLine(std::chrono::milliseconds patience = testing_support::kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
      const std::size_t end = input_.find('\n');
      if (end != std::string::npos) {
        std::string line = input_.substr(0, end);
        input_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() < 0) return std::nullopt;
      pollfd watch{fd_, POLLIN, 0};
      if (::poll(&watch, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
      char buffer[65536];
      const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
      if (count <= 0) {
        closedByPeer_ = true;
        return std::nullopt;
      }
      input_.append(buffer, static_cast<std::size_t>(count));
    }
  }

  // The next object; an empty one when none comes or it does not parse.
  readerd::JsonObject read(std::chrono::milliseconds patience = testing_support::kPatience) {
    const std::optional<std::string> line = readLine(patience);
    if (!line) return {};
    readerd::JsonLineParse parse = readerd::parseJsonLine(*line);
    return parse.object.value_or(readerd::JsonObject{});
  }

  // Sends one request and returns the object that answers it.
  readerd::JsonObject request(std::string_view line) {
    if (!write(std::string(line) + "\n")) return {};
    return read();
  }

 private:
  int fd_ = -1;
  bool closedByPeer_ = false;
  std::string input_;
};

}  // namespace readerd_testing
