// The procedure of the library's hidden window: trigger keys in, decode
// announcements out. Runs on the thread that created the window.
#pragma once

#include <cstdint>

#include "platform/window_messages.h"

namespace reader {

inline constexpr const char *kWindowClassName = "ReaderDll";

std::intptr_t readerWindowProcedure(platform::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam);

}  // namespace reader
