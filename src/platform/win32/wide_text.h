// Texts for the wide-character Windows calls. Private to the Win32 backend.
#pragma once

#include <string>

namespace reader::platform::win32 {

// An 8-bit text (ASCII, or UTF-8) as UTF-16; invalid UTF-8 bytes are taken as
// Latin-1, so no byte is lost.
std::wstring widen(const char *text);

// A UTF-16 text (char16_t, as the core keeps paths) for the W calls.
std::wstring fromUtf16(const char16_t *text);

}  // namespace reader::platform::win32
