// Stands in for the POSIX backend's port open: linked ahead of the library,
// this definition is the one the cycle code calls, so the backend's port
// file never enters this target and the cycle code itself is untouched.
// (The clock is the manual clock of the scripted port.)
#include "stateful/conversation_port.h"

#include <mutex>

#include "platform/serial_port.h"

namespace readerfuzz {

namespace {

std::mutex portMutex;
std::shared_ptr<ScriptedDevicePort> currentPort;

}  // namespace

void setConversationPort(std::shared_ptr<ScriptedDevicePort> port) {
  std::lock_guard lock(portMutex);
  currentPort = std::move(port);
}

std::shared_ptr<ScriptedDevicePort> conversationPort() {
  std::lock_guard lock(portMutex);
  return currentPort;
}

}  // namespace readerfuzz

namespace reader::platform {

std::shared_ptr<SerialPort> SerialPort::open(int, ErrorCode &error) {
  const auto port = readerfuzz::conversationPort();
  if (!port) {
    error = 2;  // no such device
    return nullptr;
  }
  error = 0;
  port->reopen();
  return port;
}

}  // namespace reader::platform
