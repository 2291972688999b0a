#include "client_connection.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "json_writer.h"

namespace readerd {

ClientConnection::ClientConnection(int fd, std::size_t queueLimit) : fd_(fd), queueLimit_(queueLimit) {}

ClientConnection::~ClientConnection() { close(); }

void ClientConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  queue_.clear();
}

void ClientConnection::noticeGap() {
  // The notice takes a place of its own, once the queue has room again.
  if (missedPending_ == 0 || queue_.size() >= queueLimit_) return;
  queue_.push_back(
      JsonWriter().field("event", "overflow").field("missed", static_cast<std::int64_t>(missedPending_)).line());
  missedPending_ = 0;
  behindSince_.reset();
}

bool ClientConnection::send(std::string line) {
  if (fd_ < 0) return false;
  noticeGap();
  if (missedPending_ > 0 || queue_.size() >= queueLimit_) {
    if (missedPending_ == 0) behindSince_ = std::chrono::steady_clock::now();
    ++missedPending_;
    ++missedTotal_;
    return false;
  }
  queue_.push_back(std::move(line));
  return true;
}

void ClientConnection::receive(std::vector<Request> &requests) {
  char buffer[16384];
  // A few buffers a round, not all there is: a client that writes without
  // pause must not keep the loop from the others.
  for (int round = 0; round < kReadsPerRound; ++round) {
    const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
    if (count == 0) {
      // A last request without its line end counts all the same.
      if (!input_.empty() && !skipping_) requests.push_back({std::move(input_), false});
      input_.clear();
      inputEnded_ = true;
      return;
    }
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) close();
      return;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      if (buffer[i] != '\n') continue;
      if (skipping_) {
        skipping_ = false;
      } else {
        input_.append(buffer + start, i - start);
        requests.push_back({std::move(input_), false});
      }
      input_.clear();
      start = i + 1;
    }
    if (!skipping_) {
      input_.append(buffer + start, static_cast<std::size_t>(count) - start);
      if (input_.size() > kLineLimit) {
        // Said once, at once: the rest of the line is never held.
        requests.push_back({{}, true});
        input_.clear();
        input_.shrink_to_fit();
        skipping_ = true;
      }
    }
    if (static_cast<std::size_t>(count) < sizeof buffer) return;
  }
}

void ClientConnection::flush() {
  while (fd_ >= 0 && !queue_.empty()) {
    iovec parts[64];
    int used = 0;
    for (auto it = queue_.begin(); it != queue_.end() && used < 64; ++it, ++used) {
      const std::size_t skip = used == 0 ? frontWritten_ : 0;
      parts[used] = {it->data() + skip, it->size() - skip};
    }
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(used);
    ssize_t written = ::sendmsg(fd_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) close();
      return;
    }
    auto left = static_cast<std::size_t>(written);
    while (left > 0) {
      const std::size_t rest = queue_.front().size() - frontWritten_;
      if (left < rest) {
        frontWritten_ += left;
        return;  // the socket is full
      }
      left -= rest;
      queue_.pop_front();
      frontWritten_ = 0;
    }
    // Told as soon as it catches up, not only with the next object.
    noticeGap();
  }
}

}  // namespace readerd
