// A text engine that triggers itself: the library hands each decode to its
// window and waits until the window's thread has announced it. Here that
// thread stops dispatching while a decode waits for it. HaltReader of the
// engine must end that wait, not only return: the scan loop is free again
// (after a restart it hands over the next decode while the first still lies
// in the queue), and the decode taken back is never run, even once the
// thread dispatches it. An unload with a decode waiting must return too.
//
//   wine_stalled_window_test.exe
//
// Loads the DLL itself, so that the unload can be guarded against a hang.
#include <windows.h>
#include <3100XE_DLL.h>

#include <cstdio>

#include "wine_check.h"

namespace {

constexpr DWORD kLimitMs = 10000;  // a hang guard, not a speed target
constexpr DWORD kDecodeWaitMs = 15000;

struct Library {
  HMODULE module = nullptr;
  decltype(&InitReader) initReader = nullptr;
  decltype(&HaltReader) haltReader = nullptr;
  decltype(&GetReaderSettings) getReaderSettings = nullptr;
  decltype(&SetReaderSettings) setReaderSettings = nullptr;

  template <class Function>
  void find(Function &function, const char *name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
  }

  bool load() {
    module = LoadLibraryW(L"3100XE_DLL.dll");
    if (module == nullptr) return false;
    find(initReader, "InitReader");
    find(haltReader, "HaltReader");
    find(getReaderSettings, "GetReaderSettings");
    find(setReaderSettings, "SetReaderSettings");
    return initReader != nullptr && haltReader != nullptr && getReaderSettings != nullptr &&
           setReaderSettings != nullptr;
  }
};

// Waits, without dispatching anything, until a hand-over of a decode lies in
// this thread's queue, and takes it out (undispatched) when `take`: the scan
// loop that sent it waits for it to be run.
bool handOverQueued(bool take, MSG &handOver) {
  const UINT id = RegisterWindowMessageW(L"ReaderLibrarySentMessage");
  const ULONGLONG deadline = GetTickCount64() + kDecodeWaitMs;
  while (!PeekMessageW(&handOver, nullptr, id, id, take ? PM_REMOVE : PM_NOREMOVE)) {
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
  }
  return true;
}

// Starts the engine and sets it to trigger itself (trigger mode 5).
bool startSelfTriggered(Library &library) {
  if (!WINE_CHECK(library.initReader() == 1)) return false;
  unsigned char record[READER_SETTINGS_RECORD_SIZE] = {};
  WINE_CHECK(library.getReaderSettings(record) == 1);
  record[78] = 5;
  return WINE_CHECK(library.setReaderSettings(record) == 1);
}

// Ends the process when an unload hangs: a FreeLibrary that never returns
// holds the loader's lock, which an ordinary exit needs too.
DWORD WINAPI watch(void *unloaded) {
  if (WaitForSingleObject(static_cast<HANDLE>(unloaded), kLimitMs) != WAIT_OBJECT_0) {
    std::printf("FAILED: FreeLibrary did not return within %lu ms\n", static_cast<unsigned long>(kLimitMs));
    TerminateProcess(GetCurrentProcess(), 1);
  }
  return 0;
}

void unloadGuarded(HMODULE module, const char *what) {
  HANDLE unloaded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE watcher = CreateThread(nullptr, 0, watch, unloaded, 0, nullptr);
  const ULONGLONG startedAt = GetTickCount64();
  FreeLibrary(module);
  std::printf("timing: FreeLibrary %s %llu ms\n", what, GetTickCount64() - startedAt);
  SetEvent(unloaded);
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  CloseHandle(unloaded);
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // lines reach the log even if the program hangs
  Library library;
  if (!WINE_CHECK(library.load())) return 1;
  MSG taken{};
  MSG next{};
  if (startSelfTriggered(library) && WINE_CHECK(handOverQueued(true, taken))) {
    const ULONGLONG startedAt = GetTickCount64();
    WINE_CHECK(library.haltReader(READER_DEVICE_BARCODE) == 1);
    const ULONGLONG took = GetTickCount64() - startedAt;
    std::printf("timing: HaltReader with a decode waiting %llu ms\n", took);
    WINE_CHECK(took < kLimitMs);
    // The loop hands over again only once it has left the first wait.
    if (startSelfTriggered(library)) WINE_CHECK(handOverQueued(false, next));
    // Taken back: running it announces nothing.
    DispatchMessageW(&taken);
    MSG announcement;
    const UINT decodeData = RegisterWindowMessageW(L"WM_DECODEDATA");
    WINE_CHECK(!PeekMessageW(&announcement, nullptr, decodeData, decodeData, PM_NOREMOVE));
  }
  // The second decode still waits for this thread.
  unloadGuarded(library.module, "with a decode waiting");
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);

  std::printf("%s: %d check(s) failed\n", winetest::failures() == 0 ? "PASS" : "FAIL", winetest::failures());
  return winetest::failures() == 0 ? 0 : 1;
}
