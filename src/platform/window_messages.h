// Registered window messages and hidden message windows.
//
// Required of every backend. A window belongs to the thread that created it;
// its procedure runs only on that thread, while the thread dispatches
// messages. On Windows these are the system's own; the POSIX backend keeps
// one message queue per owning thread, which the host drains with
// ReaderHostDispatch.
#pragma once

#include <cstdint>
#include <functional>

namespace reader::platform {

using WindowHandle = std::uintptr_t;  // 0: no window

// Posting to this handle reaches every top-level window and every host
// broadcast listener.
inline constexpr WindowHandle kBroadcastWindow = 0xFFFF;

using WindowProcedure = std::intptr_t (*)(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);

// Registers a message name; the same name always yields the same identifier
// (0xC000 to 0xFFFF). 0 on failure.
std::uint32_t registerWindowMessage(const char *name);

// The name registered for an identifier, or nullptr.
const char *windowMessageName(std::uint32_t message);

// Registers a window class. Fails when the name is already registered.
bool registerWindowClass(const char *className, WindowProcedure procedure);

// Creates a hidden, disabled top-level window of a registered class, owned by
// the calling thread. 0 on failure. The window is destroyed when its thread
// ends: posts to it fail and sends return 0 from then on.
WindowHandle createWindow(const char *className);

// True while the window exists.
bool isWindow(WindowHandle window);

// Queues a message for the window's owner and returns at once. Fails for an
// unknown window. kBroadcastWindow posts to every window and calls the host
// broadcast listener.
bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Runs the window procedure on the owner thread and returns its result. From
// the owner thread the procedure is called directly; from any other thread
// the call blocks until the owner has dispatched it, or until the windows are
// shut down (result 0).
std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// As sendMessage, except that a wait for another thread also ends, with the
// result 0, once `abandon` returns true; it is asked every few milliseconds
// and must not call into the window system. A message abandoned before the
// owner began to run it is never run; one already running is waited for.
std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                          const std::function<bool()> &abandon);

// The default handling of a message the procedure does not handle: 0.
std::intptr_t defaultWindowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam);

// Runs on unload, before the library's threads are stopped: every pending and
// later sendMessage returns 0 at once, and posted messages are dropped.
void shutdownWindows();

}  // namespace reader::platform
