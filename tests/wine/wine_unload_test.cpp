// Unloading the DLL under Wine while its threads run: FreeLibrary runs the
// library's teardown inside the loader's lock, with a scan cycle under way
// on the library's scan thread and an application that stops dispatching.
// The unload must return promptly, release the COM ports, and a second load
// must start the reader again.
//
//   wine_unload_test.exe
//   wine_unload_test.exe at-once ROUNDS
//   wine_unload_test.exe after-decode ROUNDS
//
// "at-once" loads, starts and frees the library ROUNDS times, each
// FreeLibrary right after InitReader on the same thread: the threads the
// start made race that FreeLibrary for the loader's lock on their way in. A
// thread still waiting there when the teardown joins it would never run its
// body, and the unload would never return.
//
// "after-decode" does the same with a trigger-key read announced before each
// FreeLibrary: its good-read sound may still be starting on the sound
// system's own thread when the library, perhaps that system's only user,
// goes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    setTriggerKey = reinterpret_cast<IntIntFunction>(reinterpret_cast<void *>(GetProcAddress(module, "SetTriggerKey")));
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

// Ends the process when an unload has hung: a FreeLibrary that never
// returns holds the loader's lock, which an ordinary exit needs too.
struct Watchdog {
  HANDLE armed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE disarmed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE thread = nullptr;
  volatile LONG round = 0;

  static DWORD WINAPI watch(void *argument) {
    auto *dog = static_cast<Watchdog *>(argument);
    for (;;) {
      WaitForSingleObject(dog->armed, INFINITE);
      if (WaitForSingleObject(dog->disarmed, kUnloadLimitMs) != WAIT_OBJECT_0) {
        std::printf("FAILED: FreeLibrary of round %ld did not return within %lu ms\n", dog->round,
                    static_cast<unsigned long>(kUnloadLimitMs));
        TerminateProcess(GetCurrentProcess(), 1);
      }
    }
  }
  // Started before the library is loaded: its own way in is done by then.
  Watchdog() { thread = CreateThread(nullptr, 0, watch, this, 0, nullptr); }
};

// Presses trigger key 1 and dispatches until a read is announced ("either"
// named event), then lets the key go.
bool readOnTrigger(Library &library) {
  library.setTriggerKey(1);
  HANDLE events[2] = {OpenEventW(SYNCHRONIZE, FALSE, L"DecodeEventBC"),
                      OpenEventW(SYNCHRONIZE, FALSE, L"DecodeEventRFID")};
  const DWORD count = events[0] == nullptr ? 1 : 2;
  HANDLE *first = events[0] == nullptr ? events + 1 : events;
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"WM_USER1DOWN"), 0, 0);
  bool announced = false;
  const DWORD end = GetTickCount() + kUnloadLimitMs;
  while (!announced && static_cast<LONG>(end - GetTickCount()) > 0) {
    const DWORD woken = MsgWaitForMultipleObjects(count, first, FALSE, end - GetTickCount(), QS_ALLINPUT);
    announced = woken < WAIT_OBJECT_0 + count;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"WM_USER1UP"), 0, 0);
  for (HANDLE event : events)
    if (event != nullptr) CloseHandle(event);
  return announced;
}

int unloadAtOnce(int rounds, bool afterDecode) {
  Watchdog dog;
  if (!WINE_CHECK(dog.thread != nullptr)) return 1;
  for (int round = 1; round <= rounds; ++round) {
    dog.round = round;
    Library library;
    if (!WINE_CHECK(library.load())) break;
    WINE_CHECK_EQ(library.initReader(), 1);
    if (afterDecode) WINE_CHECK(readOnTrigger(library));
    SetEvent(dog.armed);
    FreeLibrary(library.module);
    SetEvent(dog.disarmed);
  }
  std::printf("%d rounds of InitReader%s and FreeLibrary at once\n", rounds, afterDecode ? ", a read" : "");
  std::printf("%s: %d check(s) failed\n", winetest::failures() == 0 ? "PASS" : "FAIL", winetest::failures());
  return winetest::failures() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // lines reach the log even if the program hangs
  if (argc == 3 && std::strcmp(argv[1], "at-once") == 0) return unloadAtOnce(std::atoi(argv[2]), false);
  if (argc == 3 && std::strcmp(argv[1], "after-decode") == 0) return unloadAtOnce(std::atoi(argv[2]), true);
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
