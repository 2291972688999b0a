// The POSIX host API of the public header: the calls that stand in for the
// terminal's window system, key driver and event waits. Exported (default
// visibility through READER_API); everything else of the backend is hidden.
#include "3100XE_DLL.h"
#include "platform/named_event.h"
#include "platform/posix/host_listeners.h"
#include "platform/posix/window_dispatch.h"
#include "platform/window_messages.h"

namespace platform = reader::platform;

extern "C" {

READER_API int READER_CALL ReaderHostDispatch(int timeoutMs) {
  return platform::posix::dispatchWindowMessages(timeoutMs);
}

READER_API int READER_CALL ReaderHostTriggerKey(int key, int pressed) {
  static constexpr const char *kNames[2][2] = {{"WM_USER1UP", "WM_USER1DOWN"}, {"WM_USER2UP", "WM_USER2DOWN"}};
  if (key != 1 && key != 2) return 0;
  std::uint32_t message = platform::registerWindowMessage(kNames[key - 1][pressed != 0 ? 1 : 0]);
  if (message != 0) platform::postMessage(platform::kBroadcastWindow, message, 0, 0);
  return 1;
}

READER_API int READER_CALL ReaderHostWaitEvent(const char *name, int timeoutMs) {
  std::uint32_t timeout = timeoutMs < 0 ? platform::kWaitForever : static_cast<std::uint32_t>(timeoutMs);
  bool exists = false;
  switch (platform::waitNamedEvent(name, timeout, exists)) {
    case platform::WaitResult::Signaled: return 1;
    case platform::WaitResult::TimedOut: return 0;
    case platform::WaitResult::Failed: break;
  }
  return -1;  // no such event, or it was closed during the wait
}

READER_API void READER_CALL ReaderHostSetBroadcastListener(ReaderBroadcastListener listener, void *context) {
  platform::posix::setBroadcastListener(listener, context);
}

READER_API void READER_CALL ReaderHostSetOutputListener(ReaderOutputListener listener, void *context) {
  platform::posix::setOutputListener(listener, context);
}

READER_API void READER_CALL ReaderHostSetHandledOutputs(unsigned int kinds) {
  platform::posix::setHandledOutputs(kinds);
}

}  // extern "C"
