// What readerctl needs of the host's window system and key driver. The build
// takes one implementation: host_adapter_posix.cpp forwards to the library's
// POSIX host API, which stands in for both there; host_adapter_win32.cpp uses
// Windows' own: a hidden window of the tool, the calling thread's message
// queue and broadcast trigger-key messages.
#pragma once

namespace readerctl::host {

// Dispatches the pending window messages of the calling thread, waiting up
// to `timeoutMs` for the first (0: no wait; negative: no limit). Returns how
// many were dispatched. Call it on the thread that started the reader: the
// library's window belongs to that thread, and so does readerctl's.
int dispatch(int timeoutMs);

// Trigger key 1 or 2 going down (`pressed`) or up, announced as the
// terminal's key driver does: "WM_USER<key>DOWN" or "WM_USER<key>UP" to every
// top-level window. False for another key or when the message is not sent.
bool triggerKey(int key, bool pressed);

// Hears the "WM_DECODEDATA" announcements (wParam 7 a barcode, 32 a tag),
// by name; other broadcasts may come too. Called while the thread that set
// it dispatches (on POSIX perhaps on a library thread instead); it must
// return promptly and not call the lifecycle functions.
using BroadcastListener = void (*)(const char *message, long wParam, long lParam, void *context);

// One listener per process; nullptr removes it, and once that call returns
// the old one is not running. Set and remove it on the dispatching thread.
// False when announcements cannot be received (Windows refused the window).
bool setBroadcastListener(BroadcastListener listener, void *context);

// One line of the library's serial trace. Called on library threads.
using TraceListener = void (*)(const char *line, void *context);

// Turns the library's serial trace on. Call it before the reader starts: the
// library reads READER_TRACE once.
void enableTrace();

// Sends every trace line to `listener` instead of printing it; nullptr
// removes it. False where the lines never reach the tool: on Windows the
// library prints them to standard error itself.
bool setTraceListener(TraceListener listener, void *context);

// The link speed of COM port 1 or 2 in bit/s while its device is present, 0
// when it is not; -1 where the library does not tell (Windows).
int linkSpeed(int port);

// Whether the process's standard error is a terminal (a person watches it).
bool standardErrorIsTerminal();

}  // namespace readerctl::host
