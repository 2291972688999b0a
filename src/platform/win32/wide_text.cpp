#include "platform/win32/wide_text.h"

#include <windows.h>

#include <cstring>

namespace reader::platform::win32 {

std::wstring widen(const char *text) {
  if (text == nullptr || *text == '\0') return {};
  const int length = static_cast<int>(std::strlen(text));
  const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
  if (needed > 0) {
    std::wstring out(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, out.data(), needed);
    return out;
  }
  std::wstring out;
  for (const char *p = text; *p != '\0'; ++p) out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return out;
}

std::wstring fromUtf16(const char16_t *text) {
  std::wstring out;
  if (text == nullptr) return out;
  for (const char16_t *p = text; *p != 0; ++p) out += static_cast<wchar_t>(*p);
  return out;
}

}  // namespace reader::platform::win32
