// The library's lifetime as the Win32 backend sees it.
//
// The backend's shared state (windows, message names) lives in function-
// local statics that attachModule creates before the library's own objects,
// so they are destroyed after them, when the DLL is unloaded.
//
// DllMain runs before the runtime's own teardown of the module's statics:
// it notes whether the process is ending, because then every other thread
// has been ended by the system and the teardown must not wait for any; or
// whether FreeLibrary is unloading the module, because then the teardown
// runs inside the loader's lock and the module's code is about to go.
#include "platform/module_lifetime.h"

#include <atomic>

#include "platform/win32/this_module.h"
#include "platform/win32/window_system.h"

namespace reader::platform {
namespace win32 {
namespace {

std::atomic<bool> gProcessEnding{false};
std::atomic<bool> gModuleUnloading{false};

}  // namespace

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

bool processEnding() { return gProcessEnding.load(); }

bool moduleUnloading() { return gModuleUnloading.load(); }

}  // namespace win32

void attachModule() { win32::windowSystem(); }

}  // namespace reader::platform

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) {
    if (reserved != nullptr)
      reader::platform::win32::gProcessEnding = true;
    else
      reader::platform::win32::gModuleUnloading = true;
  }
  return TRUE;
}
