// Unloading the DLL under Wine while its threads run: FreeLibrary runs the
// library's teardown inside the loader's lock, with a scan cycle under way
// on the library's scan thread and an application that stops dispatching.
// The unload must return promptly, release the COM ports, and a second load
// must start the reader again.
//
//   wine_unload_test.exe
#include <windows.h>

#include <cstdio>

#include "wine_check.h"

namespace {

constexpr DWORD kUnloadLimitMs = 10000;  // a hang guard, not a speed target

using IntFunction = int(__cdecl *)();
using IntIntFunction = int(__cdecl *)(int);

struct Library {
  HMODULE module = nullptr;
  IntFunction initReader = nullptr;
  IntIntFunction haltReader = nullptr;
  IntIntFunction setTriggerKey = nullptr;

  bool load() {
    module = LoadLibraryW(L"3100XE_DLL.dll");
    if (module == nullptr) return false;
    initReader = reinterpret_cast<IntFunction>(reinterpret_cast<void *>(GetProcAddress(module, "InitReader")));
    haltReader = reinterpret_cast<IntIntFunction>(reinterpret_cast<void *>(GetProcAddress(module, "HaltReader")));
    setTriggerKey =
        reinterpret_cast<IntIntFunction>(reinterpret_cast<void *>(GetProcAddress(module, "SetTriggerKey")));
    return initReader != nullptr && haltReader != nullptr && setTriggerKey != nullptr;
  }
};

void dispatchFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

// Frees the module on another thread, so that a hang is reported instead of
// hanging the test.
DWORD WINAPI freeModule(void *module) {
  FreeLibrary(static_cast<HMODULE>(module));
  return 0;
}

bool unloadWithin(HMODULE module, DWORD limitMs, DWORD &tookMs) {
  const DWORD startedAt = GetTickCount();
  HANDLE thread = CreateThread(nullptr, 0, freeModule, module, 0, nullptr);
  if (thread == nullptr) return false;
  const bool done = WaitForSingleObject(thread, limitMs) == WAIT_OBJECT_0;
  tookMs = GetTickCount() - startedAt;
  CloseHandle(thread);
  return done;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // lines reach the log even if the program hangs
  Library first;
  if (!WINE_CHECK(first.load())) return 1;
  WINE_CHECK_EQ(first.initReader(), 1);
  first.setTriggerKey(1);
  // A press that starts a scan cycle; then this thread stops dispatching
  // and unloads from its own window thread.
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"WM_USER1DOWN"), 0, 0);
  dispatchFor(30);
  const DWORD startedAt = GetTickCount();
  FreeLibrary(first.module);
  const DWORD ownThreadMs = GetTickCount() - startedAt;
  std::printf("timing: FreeLibrary during a scan cycle %lu ms\n", static_cast<unsigned long>(ownThreadMs));
  WINE_CHECK(ownThreadMs < kUnloadLimitMs);
  // The window went with the module: a broadcast now reaches no library code.
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"WM_USER1UP"), 0, 0);
  dispatchFor(30);

  // The ports were given back: a second load starts the reader again, and
  // an unload from another thread than the window's also returns.
  Library second;
  if (!WINE_CHECK(second.load())) return 1;
  WINE_CHECK_EQ(second.initReader(), 1);
  DWORD tookMs = 0;
  WINE_CHECK(unloadWithin(second.module, kUnloadLimitMs, tookMs));
  std::printf("timing: FreeLibrary from another thread %lu ms\n", static_cast<unsigned long>(tookMs));
  dispatchFor(30);  // the window told to close goes now

  std::printf("%s: %d check(s) failed\n", winetest::failures() == 0 ? "PASS" : "FAIL", winetest::failures());
  return winetest::failures() == 0 ? 0 : 1;
}
