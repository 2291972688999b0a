// Registered window messages and the hidden window on Windows: the system's
// own messages, classes and windows.
//
// The window is a real top-level window that is never shown (a message-only
// window would not receive broadcasts such as the trigger keys). Its class
// procedure is a trampoline in this file that calls the core's procedure,
// kept in the window's user data.
//
// A message sent from another thread travels as a posted record that the
// owner runs and answers; the sender waits for the answer or for the
// shutdown, so no library thread can hang on an application that stopped
// dispatching, or that unloads the library from its window thread. Windows'
// own SendMessage could not be abandoned that way.
//
// At unload the windows stop reaching the library: a window of the unloading
// thread is destroyed; a window of another thread gets the system's default
// procedure (the DLL's code is about to go) and is told to close.
#include "platform/window_messages.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/win32/this_module.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/window_system.h"

namespace reader::platform {
namespace win32 {

struct WindowSystem {
  WindowSystem() : shutdownEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~WindowSystem() {
    if (shutdownEvent != nullptr) CloseHandle(shutdownEvent);
  }
  WindowSystem(const WindowSystem &) = delete;
  WindowSystem &operator=(const WindowSystem &) = delete;

  std::mutex mutex;
  std::map<std::uint32_t, std::string> messageNames;  // first spelling of each id
  std::map<std::wstring, WindowProcedure> classes;    // registered by the library
  std::set<HWND> windows;                             // created by the library
  std::atomic<bool> shutDown{false};
  HANDLE shutdownEvent;
  std::atomic<UINT> sentMessage{0};  // the private message carrying a sent record
};

WindowSystem &windowSystem() {
  static WindowSystem system;
  return system;
}

}  // namespace win32

namespace {

using win32::WindowSystem;
using win32::windowSystem;

constexpr DWORD kSendCheckMs = 100;
constexpr DWORD kAbandonCheckMs = 10;

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle toHandle(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// A message sent from another thread, shared by its sender and the owner.
struct SentCall {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::intptr_t result = 0;
  HANDLE answered = nullptr;
  std::atomic<int> holders{2};
  // 0 queued, 1 being run by the owner, 2 taken back by its sender.
  std::atomic<int> state{0};

  void release() {
    if (holders.fetch_sub(1) == 1) {
      CloseHandle(answered);
      delete this;
    }
  }
};

WindowProcedure procedureOf(HWND window) {
  return reinterpret_cast<WindowProcedure>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

std::intptr_t runProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (WindowProcedure procedure = procedureOf(window)) return procedure(toHandle(window), message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const UINT sent = windowSystem().sentMessage.load();
  if (sent != 0 && message == sent) {
    auto *call = reinterpret_cast<SentCall *>(lParam);
    int queued = 0;
    if (call->state.compare_exchange_strong(queued, 1))
      call->result = runProcedure(window, call->message, call->wParam, call->lParam);
    SetEvent(call->answered);
    call->release();
    return 0;
  }
  return runProcedure(window, message, wParam, lParam);
}

}  // namespace

std::uint32_t registerWindowMessage(const char *name) {
  if (name == nullptr || *name == '\0') return 0;
  try {
    const UINT id = RegisterWindowMessageW(win32::widen(name).c_str());
    if (id == 0) return 0;
    WindowSystem &system = windowSystem();
    std::lock_guard lock(system.mutex);
    system.messageNames.emplace(id, name);
    return id;
  } catch (...) {  // std::bad_alloc
    return 0;
  }
}

const char *windowMessageName(std::uint32_t message) {
  WindowSystem &system = windowSystem();
  std::lock_guard lock(system.mutex);
  const auto found = system.messageNames.find(message);
  return found == system.messageNames.end() ? nullptr : found->second.c_str();
}

bool registerWindowClass(const char *className, WindowProcedure procedure) {
  if (className == nullptr || procedure == nullptr) return false;
  try {
    WindowSystem &system = windowSystem();
    if (system.sentMessage.load() == 0) system.sentMessage = RegisterWindowMessageW(L"ReaderLibrarySentMessage");
    const std::wstring name = win32::widen(className);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = trampoline;
    windowClass.hInstance = win32::thisModule();
    windowClass.lpszClassName = name.c_str();
    if (RegisterClassW(&windowClass) == 0) return false;  // ERROR_CLASS_ALREADY_EXISTS among others
    std::lock_guard lock(system.mutex);
    system.classes[name] = procedure;
    return true;
  } catch (...) {
    return false;
  }
}

WindowHandle createWindow(const char *className) {
  if (className == nullptr) return 0;
  try {
    WindowSystem &system = windowSystem();
    if (system.shutDown) return 0;
    const std::wstring name = win32::widen(className);
    WindowProcedure procedure = nullptr;
    {
      std::lock_guard lock(system.mutex);
      const auto found = system.classes.find(name);
      if (found == system.classes.end()) return 0;
      procedure = found->second;
    }
    HWND window = CreateWindowExW(0, name.c_str(), L"", WS_POPUP | WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                  win32::thisModule(), reinterpret_cast<LPVOID>(procedure));
    if (window == nullptr) return 0;
    std::lock_guard lock(system.mutex);
    system.windows.insert(window);
    return toHandle(window);
  } catch (...) {
    return 0;
  }
}

bool isWindow(WindowHandle window) { return window != 0 && window != kBroadcastWindow && IsWindow(toHwnd(window)); }

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0 || windowSystem().shutDown) return false;
  const HWND target = window == kBroadcastWindow ? HWND_BROADCAST : toHwnd(window);
  return PostMessageW(target, message, wParam, lParam) != 0;
}

std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  return sendMessage(window, message, wParam, lParam, std::function<bool()>());
}

std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                          const std::function<bool()> &abandon) {
  WindowSystem &system = windowSystem();
  if (window == 0 || system.shutDown) return 0;
  if (window == kBroadcastWindow) {
    PostMessageW(HWND_BROADCAST, message, wParam, lParam);
    return 0;
  }
  const HWND target = toHwnd(window);
  const DWORD owner = GetWindowThreadProcessId(target, nullptr);
  if (owner == 0) return 0;
  if (owner == GetCurrentThreadId()) return SendMessageW(target, message, wParam, lParam);
  const UINT sent = system.sentMessage.load();
  if (sent == 0) return 0;
  SentCall *call = nullptr;
  try {
    call = new SentCall{message, wParam, lParam};
  } catch (...) {
    return 0;
  }
  call->answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (call->answered == nullptr || !PostMessageW(target, sent, 0, reinterpret_cast<LPARAM>(call))) {
    call->release();
    call->release();
    return 0;
  }
  std::intptr_t result = 0;
  const HANDLE either[2] = {call->answered, system.shutdownEvent};
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(2, either, FALSE, abandon ? kAbandonCheckMs : kSendCheckMs);
    if (woken == WAIT_OBJECT_0) {
      result = call->result;
      break;
    }
    // Taken back while still queued: the owner skips it when it comes.
    int queued = 0;
    if (woken == WAIT_TIMEOUT && abandon && abandon() && call->state.compare_exchange_strong(queued, 2)) break;
    // Shut down, failed, or the window went with its thread: the record then
    // stays with the discarded message.
    if (woken != WAIT_TIMEOUT || !IsWindow(target)) break;
  }
  call->release();
  return result;
}

std::intptr_t defaultWindowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
  return DefWindowProcW(toHwnd(window), message, wParam, lParam);
}

void shutdownWindows() {
  WindowSystem &system = windowSystem();
  system.shutDown = true;
  SetEvent(system.shutdownEvent);
  std::set<HWND> windows;
  std::map<std::wstring, WindowProcedure> classes;
  {
    std::lock_guard lock(system.mutex);
    windows.swap(system.windows);
    classes.swap(system.classes);
  }
  for (HWND window : windows) {
    if (!IsWindow(window)) continue;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
      DestroyWindow(window);
      continue;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  for (const auto &[name, procedure] : classes) UnregisterClassW(name.c_str(), win32::thisModule());
}

}  // namespace reader::platform
