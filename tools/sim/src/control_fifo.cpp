#include "readersim/control_fifo.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace readersim {
namespace {

[[noreturn]] void fail(const std::string &what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

ControlFifo::ControlFifo() {
  const char *tmp = ::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/reader-sim.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) fail("mkdtemp " + pattern);
  directory_ = name.data();
  path_ = directory_ + "/control";
  try {
    // The umask could only have taken bits away; say exactly what is meant.
    if (::chmod(directory_.c_str(), 0700) != 0) fail("chmod " + directory_);
    if (::mkfifo(path_.c_str(), 0600) != 0) fail("mkfifo " + path_);
    readFd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (readFd_ < 0) fail("open " + path_);
    writeFd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writeFd_ < 0) fail("open " + path_);
  } catch (...) {
    remove();
    throw;
  }
}

ControlFifo::~ControlFifo() { remove(); }

void ControlFifo::remove() {
  if (readFd_ >= 0) ::close(readFd_);
  if (writeFd_ >= 0) ::close(writeFd_);
  readFd_ = writeFd_ = -1;
  ::unlink(path_.c_str());
  ::rmdir(directory_.c_str());
}

}  // namespace readersim
