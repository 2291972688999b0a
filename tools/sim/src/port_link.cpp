#include "readersim/port_link.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace readersim {
namespace {

[[noreturn]] void fail(const char *what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PortLink::PortLink(const std::string &target) {
  const char *tmp = ::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/readersim-port-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) fail("mkdtemp");
  directory_ = buffer.data();
  path_ = directory_ + "/port";
  if (::symlink(target.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::rmdir(directory_.c_str());
    throw std::system_error(error, std::generic_category(), "symlink");
  }
}

PortLink::~PortLink() {
  ::unlink((directory_ + "/next").c_str());
  ::unlink(path_.c_str());
  ::rmdir(directory_.c_str());
}

std::string PortLink::target() const {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink(path_.c_str(), buffer.data(), buffer.size());
  if (n < 0) fail("readlink");
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

void PortLink::retarget(const std::string &target) {
  // A new link renamed over the old one: rename() replaces it atomically.
  const std::string next = directory_ + "/next";
  ::unlink(next.c_str());
  if (::symlink(target.c_str(), next.c_str()) != 0) fail("symlink");
  if (::rename(next.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(next.c_str());
    throw std::system_error(error, std::generic_category(), "rename");
  }
}

}  // namespace readersim
