// The library's own module, for the calls that take one. Private to the
// Win32 backend.
#pragma once

#include <windows.h>

namespace reader::platform::win32 {

// The DLL (or the program the backend is linked into); its reference count
// is not changed.
HMODULE thisModule();

// True once the process is ending (ExitProcess): the system has already
// ended every other thread, so nothing may wait for them.
bool processEnding();

// True once FreeLibrary is unloading the DLL: the teardown runs inside the
// loader's lock, so no other thread can exit meanwhile, and the DLL's code
// is unmapped after it. Never true in a program that links the library in.
bool moduleUnloading();

}  // namespace reader::platform::win32
