// The terminal's driver outputs on Windows: keystrokes through SendInput,
// sounds through PlaySoundW, the good-read signal through the audio driver
// "WAV1:". A desktop has no vibrator and no such audio driver: those requests
// are refused quietly, as a terminal without them would.
#include "platform/device_outputs.h"

#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "platform/win32/this_module.h"
#include "platform/win32/wide_text.h"

namespace reader::platform {
namespace {

constexpr DWORD kAudioCommandIoControl = 0x001D000C;

INPUT unicodeKey(WORD unit, bool keyUp) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = unit;
  input.ki.dwFlags = KEYEVENTF_UNICODE | (keyUp ? KEYEVENTF_KEYUP : 0);
  return input;
}

}  // namespace

bool switchVibrator(bool) { return false; }

bool sendAudioCommand(const std::uint8_t (&record)[20]) {
  HANDLE driver = CreateFileW(L"WAV1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (driver == INVALID_HANDLE_VALUE) return false;
  std::uint8_t copy[20];
  for (int i = 0; i < 20; ++i) copy[i] = record[i];
  DWORD returned = 0;
  DeviceIoControl(driver, kAudioCommandIoControl, copy, sizeof copy, nullptr, 0, &returned, nullptr);
  CloseHandle(driver);
  return true;
}

namespace {

// A sound played asynchronously starts on the sound system's own thread,
// which may still be running winmm.dll's code when the library is unloaded;
// if the library was winmm's only user, the unload would unmap winmm under
// that thread. So winmm stays loaded from the first sound on.
void keepSoundSystemLoaded() {
  static const bool pinned = [] {
    HMODULE winmm = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winmm.dll", &winmm) != 0;
  }();
  static_cast<void>(pinned);
}

}  // namespace

void playSound(const char16_t *path, std::uint32_t flags) {
  // Neither started nor stopped while FreeLibrary unloads the library: a
  // stop waits for the sound system's thread, which may be waiting for the
  // loader's lock that the unload holds.
  if (win32::moduleUnloading()) return;
  if (path == nullptr) {
    PlaySoundW(nullptr, nullptr, 0);
    return;
  }
  keepSoundSystemLoaded();
  try {
    const std::wstring wide = win32::fromUtf16(path);
    PlaySoundW(wide.c_str(), nullptr, flags);
  } catch (...) {  // std::bad_alloc: the sound is not played
  }
}

// Each character as a Unicode key press and release; characters beyond the
// first plane as their two UTF-16 units.
void postKeyboardCharacters(const std::int32_t *characters, std::size_t count) {
  try {
    std::vector<INPUT> inputs;
    inputs.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
      const auto c = static_cast<std::uint32_t>(characters[i]);
      WORD units[2];
      int n = 1;
      if (c >= 0x10000 && c <= 0x10FFFF) {
        units[0] = static_cast<WORD>(0xD800 + ((c - 0x10000) >> 10));
        units[1] = static_cast<WORD>(0xDC00 + ((c - 0x10000) & 0x3FF));
        n = 2;
      } else {
        units[0] = static_cast<WORD>(c);
      }
      for (int u = 0; u < n; ++u) {
        inputs.push_back(unicodeKey(units[u], false));
        inputs.push_back(unicodeKey(units[u], true));
      }
    }
    if (!inputs.empty()) SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  } catch (...) {  // std::bad_alloc: nothing is typed
  }
}

void sendKeyEvent(std::uint8_t virtualKey, bool keyUp) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = keyUp ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(INPUT));
}

}  // namespace reader::platform
