#include "platform/posix/x11_trigger.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {

// The little of Xlib's ABI this reader uses, declared here so that the build
// needs no X headers. Layouts as in <X11/Xlib.h> (unchanged since X11R6).
struct Display;
using Window = unsigned long;
using KeySym = unsigned long;
using KeyCode = unsigned char;
using Bool = int;

struct XKeyEvent {
  int type;
  unsigned long serial;
  Bool send_event;
  Display *display;
  Window window, root, subwindow;
  unsigned long time;
  int x, y, x_root, y_root;
  unsigned int state;
  unsigned int keycode;
  Bool same_screen;
};
// An extension's event (GenericEvent), its data fetched by XGetEventData.
struct XGenericEventCookie {
  int type;
  unsigned long serial;
  Bool send_event;
  Display *display;
  int extension;
  int evtype;
  unsigned int cookie;
  void *data;
};
union XEvent {
  int type;
  XKeyEvent xkey;
  XGenericEventCookie xcookie;
  long pad[24];
};
struct XErrorEvent {
  int type;
  Display *display;
  unsigned long resourceid;
  unsigned long serial;
  unsigned char error_code, request_code, minor_code;
};
using XErrorHandler = int (*)(Display *, XErrorEvent *);
using XIOErrorHandler = int (*)(Display *);
using XIOErrorExitHandler = void (*)(Display *, void *);

constexpr int kKeyPress = 2;
constexpr int kKeyRelease = 3;
constexpr int kGenericEvent = 35;
constexpr unsigned long kCurrentTime = 0;
constexpr unsigned kAnyModifier = 1U << 15;
constexpr int kGrabModeAsync = 1;
constexpr int kQueuedAfterReading = 1;

struct Xlib {
  Display *(*XOpenDisplay)(const char *);
  int (*XCloseDisplay)(Display *);
  Window (*XDefaultRootWindow)(Display *);
  KeySym (*XStringToKeysym)(const char *);
  KeyCode (*XKeysymToKeycode)(Display *, KeySym);
  int (*XGrabKey)(Display *, int, unsigned, Window, Bool, int, int);
  int (*XUngrabKey)(Display *, int, unsigned, Window);
  int (*XPending)(Display *);
  int (*XNextEvent)(Display *, XEvent *);
  int (*XEventsQueued)(Display *, int);
  int (*XPeekEvent)(Display *, XEvent *);
  int (*XConnectionNumber)(Display *);
  int (*XSync)(Display *, Bool);
  XErrorHandler (*XSetErrorHandler)(XErrorHandler);
  XIOErrorHandler (*XSetIOErrorHandler)(XIOErrorHandler);
  // Missing from older libraries: the reader copes without them.
  void (*XSetIOErrorExitHandler)(Display *, XIOErrorExitHandler, void *);
  Bool (*XkbSetDetectableAutoRepeat)(Display *, Bool, Bool *);
  // Needed to follow the keys through XInput 2 (see Xi).
  int (*XUngrabKeyboard)(Display *, unsigned long);
  int (*XFlush)(Display *);
  Bool (*XQueryExtension)(Display *, const char *, int *, int *, int *);
  Bool (*XGetEventData)(Display *, XGenericEventCookie *);
  void (*XFreeEventData)(Display *, XGenericEventCookie *);
};

// The little of libXi's ABI used, as in <X11/extensions/XInput2.h> and
// <X11/extensions/XI2.h>.
struct XIEventMask {
  int deviceid;
  int mask_len;
  unsigned char *mask;
};
struct XIValuatorState {
  int mask_len;
  unsigned char *mask;
  double *values;
};
struct XIRawEvent {
  int type;  // GenericEvent
  unsigned long serial;
  Bool send_event;
  Display *display;
  int extension;
  int evtype;
  unsigned long time;
  int deviceid;
  int sourceid;
  int detail;  // the keycode
  int flags;
  XIValuatorState valuators;
  double *raw_values;
};
constexpr int kXIAllDevices = 0;  // one release may come as several devices' (see held_)
constexpr int kXIRawKeyRelease = 14;

struct Xi {
  int (*XIQueryVersion)(Display *, int *, int *);
  int (*XISelectEvents)(Display *, Window, XIEventMask *, int);
};

template <typename Function>
bool resolve(void *library, Function &function, const char *name) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// libX11, loaded once and kept: Xlib keeps process-wide state that must not
// be unloaded under other users of it. nullptr when it is missing; `error`
// then says why.
const Xlib *loadXlib(std::string &error) {
  static Xlib xlib;
  static std::string loadError;
  static std::once_flag once;
  std::call_once(once, [] {
    void *library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) {
      const char *text = dlerror();
      loadError = text != nullptr ? text : "libX11.so.6 not found";
      return;
    }
    bool complete =
        resolve(library, xlib.XOpenDisplay, "XOpenDisplay") && resolve(library, xlib.XCloseDisplay, "XCloseDisplay") &&
        resolve(library, xlib.XDefaultRootWindow, "XDefaultRootWindow") &&
        resolve(library, xlib.XStringToKeysym, "XStringToKeysym") &&
        resolve(library, xlib.XKeysymToKeycode, "XKeysymToKeycode") && resolve(library, xlib.XGrabKey, "XGrabKey") &&
        resolve(library, xlib.XUngrabKey, "XUngrabKey") && resolve(library, xlib.XPending, "XPending") &&
        resolve(library, xlib.XNextEvent, "XNextEvent") && resolve(library, xlib.XEventsQueued, "XEventsQueued") &&
        resolve(library, xlib.XPeekEvent, "XPeekEvent") &&
        resolve(library, xlib.XConnectionNumber, "XConnectionNumber") && resolve(library, xlib.XSync, "XSync") &&
        resolve(library, xlib.XSetErrorHandler, "XSetErrorHandler") &&
        resolve(library, xlib.XSetIOErrorHandler, "XSetIOErrorHandler");
    if (!complete) {
      loadError = "libX11.so.6 lacks a function the trigger needs";
      return;
    }
    resolve(library, xlib.XSetIOErrorExitHandler, "XSetIOErrorExitHandler");
    resolve(library, xlib.XkbSetDetectableAutoRepeat, "XkbSetDetectableAutoRepeat");
    resolve(library, xlib.XUngrabKeyboard, "XUngrabKeyboard");
    resolve(library, xlib.XFlush, "XFlush");
    resolve(library, xlib.XQueryExtension, "XQueryExtension");
    resolve(library, xlib.XGetEventData, "XGetEventData");
    resolve(library, xlib.XFreeEventData, "XFreeEventData");
  });
  error = loadError;
  return loadError.empty() ? &xlib : nullptr;
}

// libXi, loaded once and kept like libX11; nullptr when it is missing or
// when libX11 lacks what following the keys through it takes.
const Xi *loadXi(const Xlib &xlib) {
  static Xi xi;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [&xlib] {
    if (xlib.XUngrabKeyboard == nullptr || xlib.XFlush == nullptr || xlib.XQueryExtension == nullptr ||
        xlib.XGetEventData == nullptr || xlib.XFreeEventData == nullptr) {
      return;
    }
    void *library = dlopen("libXi.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) return;
    loaded =
        resolve(library, xi.XIQueryVersion, "XIQueryVersion") && resolve(library, xi.XISelectEvents, "XISelectEvents");
  });
  return loaded ? &xi : nullptr;
}

// Xlib's error handler is process-wide, and its default ends the process: a
// grab another client holds (BadAccess) would kill the host. So the grabs run
// under this handler, which notes errors of the reader's own display and
// passes all others on to the handler it replaced.
std::atomic<Display *> gCheckedDisplay{nullptr};
std::atomic<XErrorHandler> gReplacedHandler{nullptr};
std::atomic<bool> gCheckFailed{false};

int noteGrabError(Display *display, XErrorEvent *event) {
  if (display == gCheckedDisplay.load()) {
    gCheckFailed = true;
    return 0;
  }
  XErrorHandler replaced = gReplacedHandler.load();
  return replaced != nullptr ? replaced(display, event) : 0;
}

// A broken connection calls Xlib's process-wide I/O error handler, whose
// default ends the process, and then the display's exit handler (libX11 1.7
// and later), whose default does. For the reader's own display both are
// replaced by handlers that return, so that Xlib only marks the display dead;
// every other display goes on to the handler this one replaced. Installed
// once and left in place: removing it could drop a handler the host set
// since.
std::atomic<Display *> gReaderDisplay{nullptr};
std::atomic<XIOErrorHandler> gReplacedIOHandler{nullptr};

int noteIOError(Display *display) {
  if (display == gReaderDisplay.load()) return 0;
  XIOErrorHandler replaced = gReplacedIOHandler.load();
  return replaced != nullptr ? replaced(display) : 0;
}

void noteConnectionLost(Display *, void *lost) { *static_cast<bool *>(lost) = true; }

// Whether a connection that breaks inside an Xlib call can be survived:
// without the exit handler Xlib exits whatever the I/O error handler does.
// Either way the reader looks at the socket itself before Xlib reads it (see
// connectionClosed), so only a server that dies during a call gets this far.
bool survivesLostConnection(const Xlib &xlib) {
  if (xlib.XSetIOErrorExitHandler == nullptr) return false;
  static std::once_flag once;
  std::call_once(once, [&xlib] { gReplacedIOHandler = xlib.XSetIOErrorHandler(noteIOError); });
  return true;
}

class X11Trigger {
 public:
  X11Trigger(const X11TriggerConfig &config, int stopFd) : config_(config), stopFd_(stopFd) {}

  void run() {
    std::string error;
    xlib_ = loadXlib(error);
    if (xlib_ == nullptr) {
      reportTerminalProblem("READER_TRIGGER_X11: cannot load the X library (" + error + ")");
      return;
    }
    const char *name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
      reportTerminalProblem("READER_TRIGGER_X11: DISPLAY is not set");
      return;
    }
    displayName_ = name;
    display_ = xlib_->XOpenDisplay(name);
    if (display_ == nullptr) {
      reportTerminalProblem("READER_TRIGGER_X11: cannot open the X display \"" + displayName_ + "\"");
      return;
    }
    survivable_ = survivesLostConnection(*xlib_);
    if (survivable_) {
      gReaderDisplay = display_;
      xlib_->XSetIOErrorExitHandler(display_, noteConnectionLost, &lost_);
    }
    Bool supported = 0;
    detectableRepeat_ = xlib_->XkbSetDetectableAutoRepeat != nullptr &&
                        xlib_->XkbSetDetectableAutoRepeat(display_, 1, &supported) != 0 && supported != 0;
    root_ = xlib_->XDefaultRootWindow(display_);
    if (grabKeys() && !lost_) {
      followRawReleases();
      if (!lost_) readEvents();
    }
    finish();
  }

 private:
  // Runs an X request under noteGrabError and waits for its answer; false
  // when the server refused it.
  template <typename Request>
  bool checked(Request request) {
    gCheckedDisplay = display_;
    gCheckFailed = false;
    gReplacedHandler = xlib_->XSetErrorHandler(noteGrabError);
    request();
    xlib_->XSync(display_, 0);
    xlib_->XSetErrorHandler(gReplacedHandler.load());
    gCheckedDisplay = nullptr;
    return !gCheckFailed;
  }

  // A pressed key grabbed with XGrabKey grabs the whole keyboard until it is
  // released: every other key typed meanwhile, the XTest keyboard's
  // included, would come to this connection and be lost. So each press lets
  // go of the keyboard at once (see handle), and the key's release, which
  // then goes to the focused window, is seen here as an XInput 2 raw event:
  // raw events on the root window reach every client that selects them,
  // whatever grabs are active (XInput 2.1 and later).
  void followRawReleases() {
    const Xi *xi = loadXi(*xlib_);
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 2;
    bool available = xi != nullptr &&
                     xlib_->XQueryExtension(display_, "XInputExtension", &opcode, &event, &error) != 0 && checked([&] {
                       if (xi->XIQueryVersion(display_, &major, &minor) != 0) gCheckFailed = true;
                     }) &&
                     major >= 2;
    if (available && !lost_) {
      unsigned char bits[(kXIRawKeyRelease >> 3) + 1] = {};
      bits[kXIRawKeyRelease >> 3] |= 1U << (kXIRawKeyRelease & 7);
      XIEventMask mask{kXIAllDevices, static_cast<int>(sizeof bits), bits};
      available = checked([&] { xi->XISelectEvents(display_, root_, &mask, 1); });
    }
    if (lost_) return;
    if (!available) {
      reportTerminalProblem(
          "READER_TRIGGER_X11: no XInput 2: keystrokes typed while a trigger key is held go to the trigger");
      return;
    }
    xiOpcode_ = opcode;
  }

  bool grabKeys() {
    bool any = false;
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (!config_.keys[trigger]) continue;
      const std::string &key = *config_.keys[trigger];
      KeySym symbol =
          key.starts_with("0x") ? std::strtoul(key.c_str(), nullptr, 16) : xlib_->XStringToKeysym(key.c_str());
      if (symbol == 0) {
        reportTerminalProblem("READER_TRIGGER_X11: \"" + key + "\" is not a key name (keysym)");
        continue;
      }
      KeyCode code = xlib_->XKeysymToKeycode(display_, symbol);
      if (code == 0) {
        reportTerminalProblem("READER_TRIGGER_X11: the display \"" + displayName_ + "\" has no key " + key);
        continue;
      }
      bool grabbed =
          checked([&] { xlib_->XGrabKey(display_, code, kAnyModifier, root_, 0, kGrabModeAsync, kGrabModeAsync); });
      if (lost_) return false;
      if (!grabbed) {
        reportTerminalProblem("READER_TRIGGER_X11: another program holds the key " + key + " on the display \"" +
                              displayName_ + "\"");
        continue;
      }
      keycodes_[trigger] = code;
      any = true;
    }
    return any;
  }

  void readEvents() {
    int connection = xlib_->XConnectionNumber(display_);
    for (;;) {
      while (!lost_ && xlib_->XPending(display_) > 0) {
        XEvent event;
        xlib_->XNextEvent(display_, &event);
        handle(event);
      }
      if (lost_) return;
      pollfd fds[2] = {{stopFd_, POLLIN, 0}, {connection, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[0].revents != 0) return;
      if (connectionClosed(connection, fds[1].revents)) {
        lost_ = true;
        return;
      }
    }
  }

  // Looks at the socket before Xlib reads it: Xlib's answer to a closed
  // connection is exit(), or with the handlers above a display it can no
  // longer close.
  static bool connectionClosed(int connection, short revents) {
    if ((revents & (POLLERR | POLLNVAL)) != 0) return true;
    char byte;
    ssize_t got = ::recv(connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
  }

  void handle(XEvent &event) {
    if (event.type == kGenericEvent) {
      handleRaw(event.xcookie);
      return;
    }
    if (event.type != kKeyPress && event.type != kKeyRelease) return;
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (keycodes_[trigger] == 0 || event.xkey.keycode != keycodes_[trigger]) continue;
      if (event.type == kKeyPress) {
        if (xiOpcode_ != 0) {
          // Every press, a repeat's too: the keyboard goes back to the
          // focused window at once (see followRawReleases).
          xlib_->XUngrabKeyboard(display_, kCurrentTime);
          xlib_->XFlush(display_);
        }
        // With detectable auto-repeat a held key repeats as presses alone.
        if (!held_[trigger]) post(trigger, true);
      } else if (held_[trigger] && !isRepeat(event)) {
        // Comes if the key was let go before the keyboard was: its raw
        // release, which comes too, then finds the trigger let go.
        post(trigger, false);
      }
    }
  }

  void handleRaw(XGenericEventCookie &cookie) {
    if (xiOpcode_ == 0 || cookie.extension != xiOpcode_ || !xlib_->XGetEventData(display_, &cookie)) return;
    if (cookie.evtype == kXIRawKeyRelease) {
      const int keycode = static_cast<const XIRawEvent *>(cookie.data)->detail;
      for (int trigger = 0; trigger < 2; ++trigger) {
        if (keycodes_[trigger] != 0 && keycode == keycodes_[trigger] && held_[trigger]) post(trigger, false);
      }
    }
    xlib_->XFreeEventData(display_, &cookie);
  }

  // Without detectable auto-repeat the server repeats a held key as a
  // release and a press with the same time stamp.
  bool isRepeat(const XEvent &release) {
    if (detectableRepeat_ || xlib_->XEventsQueued(display_, kQueuedAfterReading) == 0) return false;
    XEvent next;
    xlib_->XPeekEvent(display_, &next);
    return next.type == kKeyPress && next.xkey.keycode == release.xkey.keycode && next.xkey.time == release.xkey.time;
  }

  void post(int trigger, bool pressed) {
    held_[trigger] = pressed;
    ReaderHostTriggerKey(trigger + 1, pressed ? 1 : 0);
  }

  void finish() {
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (held_[trigger]) post(trigger, false);
    }
    if (!lost_) {
      for (KeyCode code : keycodes_) {
        if (code != 0) xlib_->XUngrabKey(display_, code, kAnyModifier, root_);
      }
      xlib_->XCloseDisplay(display_);
    } else {
      reportTerminalProblem("READER_TRIGGER_X11: the X display \"" + displayName_ +
                            "\" went away; the trigger keys are not read until the next start");
      // No Xlib call on the dead connection: closing it would write to it,
      // and a Display that saw its connection break leaves Xlib's lock in a
      // state it does not expect. Its descriptor is closed and its memory
      // (a few kilobytes, once per lost display) kept, reachable.
      ::close(xlib_->XConnectionNumber(display_));
      static std::mutex abandonedMutex;
      static auto *abandoned = new std::vector<Display *>;  // never destroyed: reachable to the end
      std::lock_guard lock(abandonedMutex);
      abandoned->push_back(display_);
    }
    gReaderDisplay = nullptr;
  }

  const X11TriggerConfig &config_;
  const int stopFd_;
  const Xlib *xlib_ = nullptr;
  std::string displayName_;
  Display *display_ = nullptr;
  Window root_ = 0;
  bool lost_ = false;
  bool survivable_ = false;  // a connection breaking inside an Xlib call is survived
  bool detectableRepeat_ = false;
  int xiOpcode_ = 0;  // XInput's, once its raw key releases are selected
  KeyCode keycodes_[2] = {};
  bool held_[2] = {};
};

}  // namespace

void runX11Trigger(const X11TriggerConfig &config, int stopFd) { X11Trigger(config, stopFd).run(); }

}  // namespace reader::platform::posix
