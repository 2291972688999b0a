// Who is at the other end of a local connection, and whether that user
// belongs to a group: the kernel's word for it (SO_PEERCRED), not the
// client's.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace readerd {

struct Peer {
  uid_t uid = 0;
  gid_t gid = 0;
  pid_t pid = 0;
};

// nullopt when the descriptor is no local socket.
std::optional<Peer> peerOf(int fd);

// The group's id; nullopt when no group has that name (or a number given
// as the name).
std::optional<gid_t> groupNamed(const std::string &name);

// The peer's primary group, or a supplementary group of its user's.
bool peerInGroup(const Peer &peer, gid_t group);

}  // namespace readerd
