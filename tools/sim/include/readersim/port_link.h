// A stable name for a device's port: a symbolic link in a private temporary
// directory, pointed at the pseudo-terminal of whichever device is plugged
// in now.
//
// The kernel soon hands a vanished pseudo-terminal's path to another
// terminal, so a host that should find "the same port" again after its
// device came back must never be sent to the old path; it opens this name,
// and the device that comes back re-points it at its own terminal.
#pragma once

#include <string>

namespace readersim {

class PortLink {
 public:
  // Throws std::system_error when the directory or link cannot be made.
  explicit PortLink(const std::string &target);
  // Removes the link and its directory.
  ~PortLink();
  PortLink(const PortLink &) = delete;
  PortLink &operator=(const PortLink &) = delete;

  // The name the host opens.
  const std::string &path() const { return path_; }
  // Where the name points now.
  std::string target() const;
  // Points the name at another port in one step: a host opening it sees
  // either the old port or the new one, never no port. Throws
  // std::system_error.
  void retarget(const std::string &target);

 private:
  std::string directory_;
  std::string path_;
};

}  // namespace readersim
