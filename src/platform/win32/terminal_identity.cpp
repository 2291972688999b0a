// The terminal's model on Windows: the registry value "Desc" under
// HKEY_LOCAL_MACHINE\Ident, where a terminal keeps it; READER_MODEL stands
// in where that key is missing (a desktop).
#include "platform/terminal_identity.h"

#include <windows.h>

#include "platform/common/environment_text.h"

namespace reader::platform {
namespace {

// The value as 8-bit text: the model names are ASCII; anything beyond
// Latin-1 becomes '?'.
bool readRegistryDescription(char *out, std::size_t size) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Ident", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  wchar_t value[50] = {};                        // the terminal's 100-byte buffer
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

bool readModelDescription(char *out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  return readRegistryDescription(out, size) || common::copyEnvironmentText("READER_MODEL", out, size);
}

}  // namespace reader::platform
