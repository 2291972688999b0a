#include "readersim/control_input.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace readersim {

ControlInput::ControlInput(std::vector<int> fds, LineHandler onLine, ErrorHandler onError)
    : onLine_(std::move(onLine)), onError_(std::move(onError)) {
  for (int fd : fds) sources_.push_back({fd, {}, false});
  if (::pipe2(stopFds_, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  thread_ = std::thread([this] { run(); });
}

ControlInput::~ControlInput() {
  char stop = 1;
  ssize_t written = ::write(stopFds_[1], &stop, 1);
  (void)written;  // a full pipe already says stop
  thread_.join();
  ::close(stopFds_[0]);
  ::close(stopFds_[1]);
}

void ControlInput::run() {
  for (;;) {
    std::vector<pollfd> entries{{stopFds_[0], POLLIN, 0}};
    for (const Source &source : sources_) entries.push_back({source.fd, POLLIN, 0});
    if (::poll(entries.data(), entries.size(), -1) < 0) {
      if (errno == EINTR) continue;
      onError_("cannot wait for commands: " + std::system_category().message(errno));
      return;
    }
    if (entries[0].revents != 0) return;
    // Backwards, so that erasing an ended source leaves the rest in place.
    for (std::size_t i = sources_.size(); i-- > 0;) {
      if (entries[i + 1].revents == 0) continue;
      if (!readFrom(sources_[i])) sources_.erase(sources_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

bool ControlInput::readFrom(Source &source) {
  char buffer[4096];
  ssize_t n = ::read(source.fd, buffer, sizeof buffer);
  if (n > 0) {
    take(source, std::string_view(buffer, static_cast<std::size_t>(n)));
    return true;
  }
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  // End of file, or a descriptor that cannot be read: a last unended line
  // still counts.
  if (!source.pending.empty() && !source.overlong) onLine_(source.pending);
  source.pending.clear();
  return false;
}

void ControlInput::take(Source &source, std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      if (!source.overlong) onLine_(source.pending);
      source.pending.clear();
      source.overlong = false;
      continue;
    }
    if (source.overlong) continue;
    if (source.pending.size() == kMaxLine) {
      onError_("a command line longer than " + std::to_string(kMaxLine) + " bytes was dropped");
      source.pending.clear();
      source.overlong = true;
      continue;
    }
    source.pending.push_back(c);
  }
}

}  // namespace readersim
