#include "peer_credentials.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>

#include <cstdlib>
#include <vector>

namespace readerd {

std::optional<Peer> peerOf(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
  return Peer{credentials.uid, credentials.gid, credentials.pid};
}

std::optional<gid_t> groupNamed(const std::string &name) {
  if (name.empty()) return std::nullopt;
  std::vector<char> buffer(16384);
  group entry{};
  group *found = nullptr;
  if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return found->gr_gid;
  char *end = nullptr;
  const unsigned long number = std::strtoul(name.c_str(), &end, 10);
  if (end != name.c_str() && *end == '\0') return static_cast<gid_t>(number);
  return std::nullopt;
}

bool peerInGroup(const Peer &peer, gid_t group) {
  if (peer.gid == group) return true;
  // The user's groups as the system database has them now: a user added to
  // the group is admitted without restarting the service.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(peer.uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(found->pw_name, peer.gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(found->pw_name, peer.gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<std::size_t>(count));
  for (gid_t member : groups)
    if (member == group) return true;
  return false;
}

}  // namespace readerd
