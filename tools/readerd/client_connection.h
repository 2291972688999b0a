// One client on the socket: its request lines coming in and a bounded queue
// of objects going out, written without blocking. A client that falls
// behind loses objects rather than delaying anyone; once it has room again
// it is first told how many it missed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "peer_credentials.h"

namespace readerd {

class ClientConnection {
 public:
  static constexpr std::size_t kQueueLimit = 1024;      // objects
  static constexpr std::size_t kLineLimit = 64 * 1024;  // bytes of one request
  static constexpr int kReadsPerRound = 4;              // of 16 KiB each

  // Takes the connected, non-blocking descriptor.
  explicit ClientConnection(int fd, std::size_t queueLimit = kQueueLimit);
  ~ClientConnection();
  ClientConnection(const ClientConnection &) = delete;
  ClientConnection &operator=(const ClientConnection &) = delete;

  int fd() const { return fd_; }
  bool open() const { return fd_ >= 0; }
  bool wantsWrite() const { return !queue_.empty(); }
  // The client shut down its writing side (or closed): no more requests,
  // but the answers to those it sent are still written.
  bool inputEnded() const { return inputEnded_; }

  // Queues one line (an object and its '\n'); false when it was dropped.
  bool send(std::string line);

  // Reads what has arrived: each whole line (without its '\n') becomes a
  // request; a line longer than the limit becomes one `oversized` request
  // as soon as it passes the limit, and its bytes are skipped up to the
  // next '\n'. At end of file the input has ended (inputEnded()); on an
  // error the connection is closed. Reads at
  // most kReadsPerRound buffers: the rest waits for the next round.
  struct Request {
    std::string line;
    bool oversized = false;
  };
  void receive(std::vector<Request> &requests);

  // Writes as much of the queue as the socket takes. Closes on an error.
  void flush();

  void close();

  std::uint64_t missed() const { return missedTotal_; }
  // Since when objects have been missed without the client catching up;
  // nullopt while it keeps up.
  std::optional<std::chrono::steady_clock::time_point> behindSince() const { return behindSince_; }
  void setQueueLimit(std::size_t limit) { queueLimit_ = limit; }

  std::uint64_t id = 0;
  std::size_t commandsPending = 0;  // sent to the command thread, not answered yet
  bool remote = false;              // a TCP client: read-only
  std::optional<Peer> peer;         // a local client's credentials

  // Subscriptions and the client's own announcement count.
  bool barcodes = false;
  bool tags = false;
  std::uint64_t seq = 0;

 private:
  void noticeGap();

  int fd_;
  std::size_t queueLimit_;
  std::deque<std::string> queue_;
  std::size_t frontWritten_ = 0;  // bytes of queue_.front() already sent
  std::uint64_t missedPending_ = 0;
  std::uint64_t missedTotal_ = 0;
  std::optional<std::chrono::steady_clock::time_point> behindSince_;
  std::string input_;
  bool skipping_ = false;  // inside an oversized line
  bool inputEnded_ = false;
};

}  // namespace readerd
