// Named auto-reset events on Windows: the system's own, so another program
// of the session waits on them by name.
#include "platform/named_event.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace reader::platform {

struct NamedEvent::Impl {
  HANDLE handle = nullptr;
};

NamedEvent::NamedEvent() : impl_(std::make_unique<Impl>()) {}

NamedEvent::~NamedEvent() {
  if (impl_->handle != nullptr) CloseHandle(impl_->handle);
}

std::unique_ptr<NamedEvent> NamedEvent::create(const char *name) {
  if (name == nullptr) return nullptr;
  try {
    const std::wstring wide = win32::widen(name);
    HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, wide.c_str());
    if (handle == nullptr) return nullptr;
    std::unique_ptr<NamedEvent> event(new NamedEvent());
    event->impl_->handle = handle;
    return event;
  } catch (...) {  // std::bad_alloc
    return nullptr;
  }
}

bool NamedEvent::set() { return SetEvent(impl_->handle) != 0; }

WaitResult waitNamedEvent(const char *name, std::uint32_t timeoutMs, bool &exists) {
  exists = false;
  if (name == nullptr) return WaitResult::Failed;
  HANDLE handle = OpenEventW(SYNCHRONIZE, FALSE, win32::widen(name).c_str());
  if (handle == nullptr) return WaitResult::Failed;
  exists = true;
  const DWORD result = WaitForSingleObject(handle, timeoutMs == kWaitForever ? INFINITE : timeoutMs);
  CloseHandle(handle);
  switch (result) {
    case WAIT_OBJECT_0: return WaitResult::Signaled;
    case WAIT_TIMEOUT: return WaitResult::TimedOut;
    default: return WaitResult::Failed;
  }
}

}  // namespace reader::platform
