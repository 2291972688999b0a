// Logging in to the sectors of a Mifare tag on the ASCII module, with the
// key the read or write was given.
#pragma once

#include "core/port_lock.h"

namespace reader {

// Blocks per Mifare sector; the last block of each is the sector trailer.
inline constexpr int kMifareSectorBlocks = 4;

inline bool isSectorTrailer(int block) { return block % kMifareSectorBlocks == kMifareSectorBlocks - 1; }

// Sends the login for `sector` (0 or more) with `key`. True only when the
// module answers exactly "L"; a status letter sets lastError. A key holding
// a carriage return or line feed is refused without sending anything. The
// caller holds portLock.
bool loginSector(const PortLock &lock, int sector, const ByteString &key);

// A walk over a Mifare tag's blocks in rising order logs in once to each
// sector it enters.
class SectorLogins {
 public:
  // `key` must outlive the walk.
  SectorLogins(const PortLock &lock, const ByteString &key) : lock_(lock), key_(key) {}
  // Logs in to the block's sector unless this walk is in it already; false
  // when the login was refused.
  bool enter(int block);

 private:
  const PortLock &lock_;
  const ByteString &key_;
  int sector_ = -1;
};

}  // namespace reader
