// The terminal's identity on Windows. A desktop has none of the terminal's
// firmware queries, so the hardware text and the serial number come from the
// environment as on POSIX (READER_HW_INFO, READER_SERIAL_NUMBER). The model
// is the registry value "Desc" under HKEY_LOCAL_MACHINE\Ident, where a
// terminal keeps it; READER_MODEL stands in where that key is missing.
#include "platform/terminal_identity.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace reader::platform {
namespace {

bool copyVariable(const char *variable, char *out, std::size_t size) {
  const char *value = std::getenv(variable);
  if (value == nullptr || out == nullptr || size == 0) return false;
  std::size_t length = std::min(std::strlen(value), size - 1);
  std::memcpy(out, value, length);
  out[length] = '\0';
  return true;
}

// The value as 8-bit text: the model names are ASCII; anything beyond
// Latin-1 becomes '?'.
bool readRegistryDescription(char *out, std::size_t size) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Ident", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  wchar_t value[50] = {};  // the terminal's 100-byte buffer
  DWORD bytes = sizeof value - sizeof(wchar_t);  // room for a terminator
  DWORD type = 0;
  const LONG result = RegQueryValueExW(key, L"Desc", nullptr, &type, reinterpret_cast<BYTE *>(value), &bytes);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::size_t length = 0;
  for (; length + 1 < size && length < bytes / sizeof(wchar_t) && value[length] != 0; ++length)
    out[length] = value[length] < 256 ? static_cast<char>(value[length]) : '?';
  out[length] = '\0';
  return true;
}

}  // namespace

bool queryDeviceInformation(std::uint32_t selector, char *out, std::size_t size) {
  switch (selector) {
    case kInfoSerialNumber: return copyVariable("READER_SERIAL_NUMBER", out, size);
    case kInfoFittedHardware: return copyVariable("READER_HW_INFO", out, size);
    default: return false;
  }
}

bool readModelDescription(char *out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  return readRegistryDescription(out, size) || copyVariable("READER_MODEL", out, size);
}

}  // namespace reader::platform
