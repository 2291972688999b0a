// Command lines from several file descriptors at once (standard input, the
// control FIFO), read on a thread of its own.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace readersim {

class ControlInput {
 public:
  // A longer line is dropped (reported through the error handler).
  static constexpr std::size_t kMaxLine = 64 * 1024;

  using LineHandler = std::function<void(std::string_view line)>;
  using ErrorHandler = std::function<void(std::string_view message)>;

  // Starts reading `fds` (which stay owned by the caller and open until
  // this object is gone). Each complete line goes to `onLine` without its
  // newline, on the reading thread, one at a time; a last line without a
  // newline goes when its descriptor ends. A descriptor that ends or fails
  // is no longer read; the others go on.
  ControlInput(std::vector<int> fds, LineHandler onLine, ErrorHandler onError);
  // Stops reading and joins the thread (after a handler running now).
  ~ControlInput();
  ControlInput(const ControlInput &) = delete;
  ControlInput &operator=(const ControlInput &) = delete;

 private:
  struct Source {
    int fd;
    std::string pending;
    bool overlong = false;
  };

  void run();
  // false when the descriptor has ended.
  bool readFrom(Source &source);
  void take(Source &source, std::string_view bytes);

  std::vector<Source> sources_;
  LineHandler onLine_;
  ErrorHandler onError_;
  int stopFds_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace readersim
