// reader-sim's control FIFO: a FIFO named "control" in a fresh directory
// that only this user can enter (mode 0700), so no other user can send
// commands. Both are removed with the object.
#pragma once

#include <string>

namespace readersim {

class ControlFifo {
 public:
  // Makes the directory under $TMPDIR (else /tmp) and the FIFO, and opens
  // it. Throws std::system_error.
  ControlFifo();
  ~ControlFifo();
  ControlFifo(const ControlFifo &) = delete;
  ControlFifo &operator=(const ControlFifo &) = delete;

  const std::string &directory() const { return directory_; }
  const std::string &path() const { return path_; }
  // The read end, non-blocking. A write end stays open as well, so the read
  // end never reports an end of file when a writer closes.
  int fd() const { return readFd_; }

 private:
  void remove();

  std::string directory_;
  std::string path_;
  int readFd_ = -1;
  int writeFd_ = -1;
};

}  // namespace readersim
