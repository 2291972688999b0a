#include "platform/common/open_failure_record.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/serial_port.h"

namespace reader::platform {

namespace {

// Fixed storage with nothing to construct or free: a port may be opened by
// a library thread while the module's statics are being torn down, and
// repeated loads must leave nothing behind.
constexpr int kPortsKept = 8;
constexpr std::size_t kTextSize = 512;

std::mutex gMutex;
char gDescriptions[kPortsKept][kTextSize];

}  // namespace

namespace common {

void recordOpenFailure(int portNumber, std::string description) {
  if (portNumber < 1 || portNumber > kPortsKept) return;
  const std::size_t length = std::min(description.size(), kTextSize - 1);
  std::lock_guard lock(gMutex);
  char *slot = gDescriptions[portNumber - 1];
  std::memcpy(slot, description.data(), length);
  slot[length] = '\0';
}

}  // namespace common

std::string SerialPort::lastOpenFailure(int portNumber) {
  if (portNumber < 1 || portNumber > kPortsKept) return {};
  std::lock_guard lock(gMutex);
  return gDescriptions[portNumber - 1];
}

}  // namespace reader::platform
