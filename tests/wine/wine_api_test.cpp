// The DLL end to end under Wine, against the device simulators behind COM1
// and COM2: start, the queries, settings get and set, a trigger-key scan
// announced to a top-level window of this program by "WM_DECODEDATA" and
// the named event, an RFID tag read, and the halt. Linked with the import
// library, as an application is.
//
//   wine_api_test.exe ENGINE_KIND MODULE_KIND BARCODE [TAG_UID]
//   wine_api_test.exe vanish MARK_FILE
//
// "vanish" presses the trigger, creates MARK_FILE and goes on dispatching
// while the runner takes the engine away mid-cycle: the halt and a later
// start must come back.
//
// The simulators' environment (READER_HW_INFO, READER_SERIAL_NUMBER, ...)
// reaches the program through Wine. Timings are printed as "timing:" lines.
#include <windows.h>
#include <3100XE_DLL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "wine_check.h"

namespace {

constexpr DWORD kAnnouncementWaitMs = 15000;

double nowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What this program's own top-level window heard.
struct Heard {
  UINT decodeData = 0;
  int barcodeAnnouncements = 0;
  double firstAnnouncementAt = 0;
};
Heard gHeard;

LRESULT CALLBACK listenerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == gHeard.decodeData && wParam == READER_DEVICE_BARCODE) {
    if (gHeard.barcodeAnnouncements++ == 0) gHeard.firstAnnouncementAt = nowMs();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND createListener() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = listenerProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ReaderWineTestListener";
  RegisterClassW(&windowClass);
  gHeard.decodeData = RegisterWindowMessageW(L"WM_DECODEDATA");
  return CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

// Dispatches this thread's messages (the library's window is one of its
// windows) until `done` or the time-out.
template <class Done>
bool dispatchUntil(Done done, DWORD timeoutMs) {
  const double deadline = nowMs() + timeoutMs;
  while (!done()) {
    const double left = deadline - nowMs();
    if (left <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return true;
}

// What the terminal's key driver does for trigger key 1.
void triggerKey(bool down) {
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(down ? L"WM_USER1DOWN" : L"WM_USER1UP"), 0, 0);
}

int expectedType(int engineKind, int moduleKind) {
  int type = 0;
  if (engineKind == 2) type |= READER_TYPE_TEXT_ENGINE;
  if (engineKind == 3) type |= READER_TYPE_SSI_ENGINE_3;
  if (engineKind == 4) type |= READER_TYPE_SSI_ENGINE_4;
  if (moduleKind == 5) type |= READER_TYPE_ASCII_MODULE;
  if (moduleKind == 6) type |= READER_TYPE_HEX_MODULE;
  return type;
}

void checkQueries(int engineKind, int moduleKind) {
  WINE_CHECK_EQ(GetReaderType(), expectedType(engineKind, moduleKind));
  char text[64] = {};
  WINE_CHECK_EQ(GetDllVer(text, sizeof text), 1);
  WINE_CHECK(std::strcmp(text, "2.00.0027") == 0);
  const char *serial = std::getenv("READER_SERIAL_NUMBER");
  if (WINE_CHECK(serial != nullptr)) {
    WINE_CHECK_EQ(GetSerialNumber(text, sizeof text), static_cast<long long>(std::strlen(serial)));
    WINE_CHECK(std::strcmp(text, serial) == 0);
  }
  WINE_CHECK_EQ(GetDllVer(nullptr, 10), 0);
  WINE_CHECK_EQ(GetSerialNumber(text, 0), READER_ERR_BAD_BUFFER);
}

// The scan time's place in the record for each engine kind.
int scanTimeOffset(int engineKind) { return engineKind == 2 ? 79 : engineKind == 4 ? 165 : 283; }

void checkSettings(int engineKind) {
  unsigned char record[READER_SETTINGS_RECORD_SIZE] = {};
  WINE_CHECK_EQ(GetReaderSettings(record), 1);
  const int offset = scanTimeOffset(engineKind);
  const unsigned char changed = record[offset] == 25 ? 30 : 25;
  record[offset] = changed;
  // A text engine leaves the factory triggering itself: trigger mode 0
  // puts it on the trigger key, like the SSI engines.
  if (engineKind == 2) record[78] = 0;
  WINE_CHECK_EQ(SetReaderSettings(record), 1);
  unsigned char again[READER_SETTINGS_RECORD_SIZE] = {};
  WINE_CHECK_EQ(GetReaderSettings(again), 1);
  WINE_CHECK_EQ(again[offset], changed);
  WINE_CHECK_EQ(GetReaderSettings(nullptr), READER_ERR_SETTINGS);
}

void checkScan(const char *barcode) {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"DecodeEventBC");
  WINE_CHECK(event != nullptr);
  WINE_CHECK_EQ(SetTriggerKey(1), 1);
  gHeard.barcodeAnnouncements = 0;
  const double pressedAt = nowMs();
  triggerKey(true);
  const bool announced = dispatchUntil([] { return gHeard.barcodeAnnouncements > 0; }, kAnnouncementWaitMs);
  triggerKey(false);
  dispatchUntil([] { return false; }, 50);  // the release reaches the library
  if (WINE_CHECK(announced))
    std::printf("timing: trigger to WM_DECODEDATA %.1f ms\n", gHeard.firstAnnouncementAt - pressedAt);
  char data[128] = {};
  WINE_CHECK_EQ(GetDecodeData(data, sizeof data), static_cast<long long>(std::strlen(barcode)));
  WINE_CHECK(std::strcmp(data, barcode) == 0);
  WINE_CHECK_EQ(GetDecodeType(), 'A');  // the simulators show a Code 39 barcode
  if (event != nullptr) {
    WINE_CHECK_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
  }
}

void checkTag(const char *uid) {
  char text[64] = {};
  const int length = ReadRfidData(READER_RFID_READ_UID, text, sizeof text, 0, 1, 0, nullptr);
  WINE_CHECK_EQ(length, static_cast<long long>(std::strlen(uid)));
  WINE_CHECK(_stricmp(text, uid) == 0);
  WINE_CHECK_EQ(ReadRfidData(READER_RFID_READ_UID, nullptr, 10, 0, 1, 0, nullptr), READER_ERR_RFID_READ);
}

// The engine vanishes while a scan cycle waits for its decode.
int vanishingEngine(const char *markFile) {
  constexpr double kReturnLimitMs = 30000;  // a hang guard, not a speed target
  WINE_CHECK_EQ(InitReader(), READER_OK);
  SetTriggerKey(1);
  triggerKey(true);
  dispatchUntil([] { return false; }, 200);  // the cycle is under way
  if (FILE *mark = std::fopen(markFile, "w")) std::fclose(mark);
  dispatchUntil([] { return false; }, 2000);
  triggerKey(false);
  dispatchUntil([] { return false; }, 100);
  double startedAt = nowMs();
  HaltReader(READER_DEVICE_ALL);
  std::printf("timing: HaltReader after the engine vanished %.1f ms\n", nowMs() - startedAt);
  WINE_CHECK(nowMs() - startedAt < kReturnLimitMs);
  startedAt = nowMs();
  WINE_CHECK(InitReader() != READER_OK);  // the port is gone
  WINE_CHECK(nowMs() - startedAt < kReturnLimitMs);
  HaltReader(READER_DEVICE_ALL);
  std::printf("%s: %d check(s) failed\n", winetest::failures() == 0 ? "PASS" : "FAIL", winetest::failures());
  return winetest::failures() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // lines reach the log even if the program hangs
  if (argc == 3 && std::strcmp(argv[1], "vanish") == 0) return vanishingEngine(argv[2]);
  if (argc < 4) {
    std::printf("usage: wine_api_test ENGINE_KIND MODULE_KIND BARCODE [TAG_UID] | vanish MARK_FILE\n");
    return 2;
  }
  const int engineKind = std::atoi(argv[1]);
  const int moduleKind = std::atoi(argv[2]);
  const char *barcode = argv[3];
  const char *uid = argc > 4 ? argv[4] : nullptr;
  std::printf("engine kind %d, module kind %d\n", engineKind, moduleKind);

  HWND listener = createListener();
  WINE_CHECK(listener != nullptr);
  const double startedAt = nowMs();
  const int started = InitReader();
  std::printf("timing: InitReader %.1f ms\n", nowMs() - startedAt);
  const bool anyDevice = engineKind != 0 || moduleKind != 0;
  WINE_CHECK_EQ(started, anyDevice ? READER_OK : READER_ERR_START_FAILED);
  if (started == READER_OK) {
    checkQueries(engineKind, moduleKind);
    WINE_CHECK_EQ(InitReader(), READER_ERR_ALREADY_STARTED);
    if (engineKind != 0) {
      checkSettings(engineKind);
      checkScan(barcode);
    }
    if (moduleKind != 0 && uid != nullptr) checkTag(uid);
  }
  WINE_CHECK_EQ(HaltReader(READER_DEVICE_ALL), anyDevice ? READER_OK : READER_ERR_NO_DEVICE);
  DestroyWindow(listener);
  std::printf("%s: %d check(s) failed\n", winetest::failures() == 0 ? "PASS" : "FAIL", winetest::failures());
  return winetest::failures() == 0 ? 0 : 1;
}
