// The Win32 backend's window state. Private to the backend.
#pragma once

namespace reader::platform::win32 {

struct WindowSystem;

// Created on the first call (attachModule makes that call before the
// library's own objects exist, so the state outlives them).
WindowSystem &windowSystem();

}  // namespace reader::platform::win32
