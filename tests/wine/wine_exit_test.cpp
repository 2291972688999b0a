// A process that ends with the reader still started: it never calls
// HaltReader, and leaves by returning from main or by ExitProcess. The
// system has ended the library's threads by the time the DLL's teardown
// runs, so that teardown must not wait for any of them.
//
//   wine_exit_test.exe return|exit ENGINE_KIND MODULE_KIND BARCODE|- TAG_UID|- MARK_FILE
//
// With a barcode the program scans it once (a trigger-key scan; a text
// engine is set to trigger itself instead, and keeps scanning while the
// program leaves); with a tag UID it reads the tag once. With "-" for both
// the simulators show nothing: the trigger stays pressed, and the program
// leaves while the scan and tag cycles wait on their devices, holding the
// ports. It creates MARK_FILE just before it leaves; the runner gives it a
// bounded time from then to be gone. The exit status is 0 after "return"
// and 3 after "exit" when every check passed, 1 otherwise.
#include <windows.h>
#include <3100XE_DLL.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "wine_check.h"

namespace {

constexpr DWORD kAnnouncementWaitMs = 15000;
constexpr UINT kExitProcessStatus = 3;

// Dispatches this thread's messages (the library's window is one of its
// windows) until `event` is set or the time-out passes.
bool dispatchUntilSet(HANDLE event, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD woken = MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

void dispatchFor(DWORD ms) {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  dispatchUntilSet(never, ms);
  CloseHandle(never);
}

void triggerKey(bool down) {
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(down ? L"WM_USER1DOWN" : L"WM_USER1UP"), 0, 0);
}

// The names of this process's threads, as debuggers show them.
std::set<std::string> threadNames() {
  using GetDescription = HRESULT(WINAPI *)(HANDLE, PWSTR *);
  const auto getDescription = reinterpret_cast<GetDescription>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  std::set<std::string> names;
  if (getDescription == nullptr) return names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    PWSTR description = nullptr;
    if (SUCCEEDED(getDescription(thread, &description)) && description != nullptr) {
      std::string name;
      for (const wchar_t *c = description; *c != L'\0'; ++c) name += static_cast<char>(*c);
      if (!name.empty()) names.insert(name);
      LocalFree(description);
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return names;
}

// Every thread the library started for these devices carries its name, cut
// to the 15 characters that every platform can show.
void checkThreadNames(int engineKind, int moduleKind) {
  std::set<std::string> expected = {"reader-vibrate", "reader-feedback"};
  if (engineKind != 0) expected.insert("reader-scan");
  if (engineKind == 2) expected.insert("reader-autoscan");
  if (moduleKind != 0) expected.insert("reader-rfid");
  if (moduleKind == 6) expected.insert("reader-idle");
  const std::set<std::string> names = threadNames();
  for (const std::string &name : expected) {
    const std::string shown = name.substr(0, 15);
    if (!WINE_CHECK(names.count(shown) == 1)) std::printf("  no thread named %s\n", shown.c_str());
  }
}

// A text engine triggers itself once its trigger mode is 5; the program
// then leaves while it goes on scanning.
void scanSelfTriggered(HANDLE announced) {
  unsigned char record[READER_SETTINGS_RECORD_SIZE] = {};
  WINE_CHECK_EQ(GetReaderSettings(record), 1);
  record[78] = 5;
  WINE_CHECK_EQ(SetReaderSettings(record), 1);
  WINE_CHECK(dispatchUntilSet(announced, kAnnouncementWaitMs));
}

void scanOnTrigger(HANDLE announced) {
  WINE_CHECK_EQ(SetTriggerKey(1), 1);
  triggerKey(true);
  WINE_CHECK(dispatchUntilSet(announced, kAnnouncementWaitMs));
  triggerKey(false);
}

void readTag(const char *uid) {
  char text[64] = {};
  WINE_CHECK_EQ(ReadRfidData(READER_RFID_READ_UID, text, sizeof text, 0, 1, 0, nullptr),
                static_cast<long long>(std::strlen(uid)));
  WINE_CHECK(_stricmp(text, uid) == 0);
}

// The simulators show nothing: both cycles wait on their devices when the
// program leaves.
void leaveMidCycle() {
  WINE_CHECK_EQ(SetTriggerKey(1), 1);
  triggerKey(true);
  dispatchFor(500);  // the press reaches the library; its cycles start
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // lines reach the log even if the program hangs
  if (argc != 7 || (std::strcmp(argv[1], "return") != 0 && std::strcmp(argv[1], "exit") != 0)) {
    std::printf("usage: wine_exit_test return|exit ENGINE_KIND MODULE_KIND BARCODE|- TAG_UID|- MARK_FILE\n");
    return 2;
  }
  const bool viaExitProcess = std::strcmp(argv[1], "exit") == 0;
  const int engineKind = std::atoi(argv[2]);
  const int moduleKind = std::atoi(argv[3]);
  const char *barcode = std::strcmp(argv[4], "-") == 0 ? nullptr : argv[4];
  const char *uid = std::strcmp(argv[5], "-") == 0 ? nullptr : argv[5];
  const char *markFile = argv[6];
  std::printf("engine kind %d, module kind %d, leaving by %s\n", engineKind, moduleKind, argv[1]);

  WINE_CHECK_EQ(InitReader(), 1);
  checkThreadNames(engineKind, moduleKind);
  HANDLE announced = OpenEventW(SYNCHRONIZE, FALSE, L"DecodeEventBC");
  if (engineKind != 0 && barcode != nullptr && WINE_CHECK(announced != nullptr)) {
    if (engineKind == 2)
      scanSelfTriggered(announced);
    else
      scanOnTrigger(announced);
  }
  if (moduleKind != 0 && uid != nullptr) readTag(uid);
  if (barcode == nullptr && uid == nullptr) leaveMidCycle();
  if (announced != nullptr) CloseHandle(announced);

  const bool passed = winetest::failures() == 0;
  std::printf("%s: %d check(s) failed; leaving without HaltReader\n", passed ? "PASS" : "FAIL", winetest::failures());
  if (FILE *mark = std::fopen(markFile, "w")) std::fclose(mark);
  if (viaExitProcess) ExitProcess(passed ? kExitProcessStatus : 1);
  return passed ? 0 : 1;
}
