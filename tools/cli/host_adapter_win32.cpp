// readerctl's host adapter on Windows: a hidden top-level window of the tool
// hears the library's broadcast announcements, the calling thread's message
// loop dispatches them, and trigger presses are the broadcast messages the
// terminal's key driver posts. The library prints its trace to standard
// error itself there.
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_adapter.h"

namespace readerctl::host {

namespace {

constexpr wchar_t kWindowClass[] = L"ReaderctlAnnouncements";

// Who hears the announcements. Touched only on the thread that owns the
// window, which is the one that dispatches.
struct Listening {
  HWND window = nullptr;
  UINT decodeMessage = 0;
  BroadcastListener listener = nullptr;
  void *context = nullptr;
};

Listening gListening;

LRESULT CALLBACK announcementProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == gListening.decodeMessage && gListening.listener != nullptr) {
    gListening.listener("WM_DECODEDATA", static_cast<long>(wParam), static_cast<long>(lParam), gListening.context);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool makeWindow() {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = announcementProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassW(&windowClass) != 0;
  }();
  gListening.decodeMessage = RegisterWindowMessageW(L"WM_DECODEDATA");
  if (!registered || gListening.decodeMessage == 0) return false;
  // Never shown, but top-level: broadcasts reach only top-level windows, not
  // message-only ones.
  gListening.window = CreateWindowExW(0, kWindowClass, L"", WS_POPUP | WS_DISABLED, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  return gListening.window != nullptr;
}

int dispatchPending() {
  int count = 0;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;  // nobody here ends a loop with it
    TranslateMessage(&message);
    DispatchMessageW(&message);
    ++count;
  }
  return count;
}

}  // namespace

int dispatch(int timeoutMs) {
  const int count = dispatchPending();
  if (count > 0 || timeoutMs == 0) return count;
  // MWMO_INPUTAVAILABLE: a message already in the queue wakes it too.
  MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  return dispatchPending();
}

bool triggerKey(int key, bool pressed) {
  if (key != 1 && key != 2) return false;
  const std::wstring name = L"WM_USER" + std::to_wstring(key) + (pressed ? L"DOWN" : L"UP");
  const UINT message = RegisterWindowMessageW(name.c_str());
  return message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0) != 0;
}

bool setBroadcastListener(BroadcastListener listener, void *context) {
  if (listener == nullptr) {
    gListening.listener = nullptr;
    gListening.context = nullptr;
    if (gListening.window != nullptr) DestroyWindow(gListening.window);
    gListening.window = nullptr;
    return true;
  }
  if (gListening.window == nullptr && !makeWindow()) return false;
  gListening.listener = listener;
  gListening.context = context;
  return true;
}

void enableTrace() { _putenv_s("READER_TRACE", "1"); }

bool setTraceListener(TraceListener, void *) { return false; }

int linkSpeed(int) { return -1; }

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace readerctl::host
