// The terminal's drivers on Linux, started and stopped as a whole: the
// configuration file is read again at every start, so a changed file takes
// effect at the next InitReader.
#include "platform/terminal_drivers.h"

#include <unistd.h>

#include <mutex>

#include "platform/posix/keyboard_wedge.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/trigger_keys.h"

namespace reader::platform {
namespace {

// Starts and stops never overlap.
std::mutex &driversMutex() {
  static std::mutex mutex;
  return mutex;
}

// The process whose start runs the drivers: a forked child has none of their
// threads, and leaves their state alone.
pid_t gStartedBy = 0;

}  // namespace

std::string startTerminalDrivers() {
  const std::lock_guard lock(driversMutex());
  if (gStartedBy != 0 && gStartedBy != ::getpid()) return {};
  gStartedBy = ::getpid();
  posix::reloadTerminalConfig();
  posix::startTriggerKeys();
  posix::startKeyboardWedge();
  return posix::terminalProblems();
}

void stopTerminalDrivers() {
  const std::lock_guard lock(driversMutex());
  if (gStartedBy != ::getpid()) return;
  posix::stopTriggerKeys();
  posix::stopKeyboardWedge();
  gStartedBy = 0;
}

}  // namespace reader::platform
