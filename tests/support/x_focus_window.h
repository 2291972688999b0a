// The test's own side of an X display: the Xlib and XTest calls it makes,
// loaded as the library loads them (the tests link against no X library
// either), and a window that takes the keyboard focus and keeps what it is
// typed, as an X application would read it. Only where the Xlib headers are
// (HAVE_XLIB_HEADERS); a test skips itself elsewhere.
#pragma once

#if __has_include(<X11/Xlib.h>) && __has_include(<X11/Xutil.h>)
#  include <X11/Xlib.h>
#  include <X11/Xutil.h>
#  define HAVE_XLIB_HEADERS 1
#else
#  define HAVE_XLIB_HEADERS 0
#endif

#if HAVE_XLIB_HEADERS
#  include <dlfcn.h>
#  include <poll.h>

#  include <chrono>
#  include <string>

namespace testing_support {

// Generous: a loaded machine under a sanitizer may take a while to pass a
// key on; every wait ends as soon as what it waits for has come.
inline constexpr std::chrono::seconds kKeysPatience{30};

struct XLibraries {
  void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  void *xtst = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
  XLibraries() = default;
  ~XLibraries() {
    if (xtst != nullptr) dlclose(xtst);
    if (x11 != nullptr) dlclose(x11);
  }
  XLibraries(const XLibraries &) = delete;
  XLibraries &operator=(const XLibraries &) = delete;

  template <typename F>
  F get(void *library, const char *name) const {
    return reinterpret_cast<F>(library != nullptr ? dlsym(library, name) : nullptr);
  }
  decltype(&XOpenDisplay) openDisplay = get<decltype(&XOpenDisplay)>(x11, "XOpenDisplay");
  decltype(&XCloseDisplay) closeDisplay = get<decltype(&XCloseDisplay)>(x11, "XCloseDisplay");
  decltype(&XCreateSimpleWindow) createWindow = get<decltype(&XCreateSimpleWindow)>(x11, "XCreateSimpleWindow");
  decltype(&XSelectInput) selectInput = get<decltype(&XSelectInput)>(x11, "XSelectInput");
  decltype(&XMapWindow) mapWindow = get<decltype(&XMapWindow)>(x11, "XMapWindow");
  decltype(&XSetInputFocus) setInputFocus = get<decltype(&XSetInputFocus)>(x11, "XSetInputFocus");
  decltype(&XSync) sync = get<decltype(&XSync)>(x11, "XSync");
  decltype(&XPending) pending = get<decltype(&XPending)>(x11, "XPending");
  decltype(&XNextEvent) nextEvent = get<decltype(&XNextEvent)>(x11, "XNextEvent");
  decltype(&XConnectionNumber) connectionNumber = get<decltype(&XConnectionNumber)>(x11, "XConnectionNumber");
  decltype(&XLookupString) lookupString = get<decltype(&XLookupString)>(x11, "XLookupString");
  decltype(&XDefaultRootWindow) rootWindow = get<decltype(&XDefaultRootWindow)>(x11, "XDefaultRootWindow");
  decltype(&XKeysymToKeycode) keysymToKeycode = get<decltype(&XKeysymToKeycode)>(x11, "XKeysymToKeycode");
  decltype(&XStringToKeysym) stringToKeysym = get<decltype(&XStringToKeysym)>(x11, "XStringToKeysym");
  using FakeKey = int (*)(Display *, unsigned, Bool, unsigned long);
  FakeKey fakeKey = get<FakeKey>(xtst, "XTestFakeKeyEvent");

  // What a FocusWindow needs.
  bool windowsOk() const {
    return openDisplay && closeDisplay && createWindow && selectInput && mapWindow && setInputFocus && sync &&
           pending && nextEvent && connectionNumber && lookupString && rootWindow;
  }
  // That and XTest's key presses.
  bool ok() const { return windowsOk() && keysymToKeycode && stringToKeysym && fakeKey; }
};

// A window that has the keyboard focus and keeps the text of every key
// press it receives.
class FocusWindow {
 public:
  FocusWindow(const XLibraries &x, const std::string &display) : x_(x), display_(x.openDisplay(display.c_str())) {
    if (display_ == nullptr) return;
    window_ = x.createWindow(display_, x.rootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
    x.selectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    x.mapWindow(display_, window_);
    XEvent event;
    do x.nextEvent(display_, &event);
    while (event.type != MapNotify);
    x.setInputFocus(display_, window_, RevertToParent, CurrentTime);
    x.sync(display_, False);
  }
  ~FocusWindow() {
    if (display_ != nullptr) x_.closeDisplay(display_);
  }
  FocusWindow(const FocusWindow &) = delete;
  FocusWindow &operator=(const FocusWindow &) = delete;

  bool ok() const { return display_ != nullptr; }

  // The text of the key presses received until `length` characters came,
  // or nothing more came for a generous while.
  std::string receive(std::size_t length) {
    std::string text;
    receiveWhile([&](char c) {
      text += c;
      return text.size() < length;
    });
    return text;
  }

  // The text of the key presses received until one gave `end` (kept out of
  // the text), or everything that came within the patience and "<no end>".
  std::string receiveUntil(char end) {
    std::string text;
    bool ended = false;
    receiveWhile([&](char c) {
      ended = c == end;
      if (!ended) text += c;
      return !ended;
    });
    return ended ? text : text + "<no end>";
  }

 private:
  // Hands each character typed to `more` until it returns false or nothing
  // comes within the patience.
  template <typename More>
  void receiveWhile(More more) {
    const auto deadline = std::chrono::steady_clock::now() + kKeysPatience;
    pollfd wait{x_.connectionNumber(display_), POLLIN, 0};
    for (;;) {
      while (x_.pending(display_) > 0) {
        XEvent event;
        x_.nextEvent(display_, &event);
        if (event.type != KeyPress) continue;
        char buffer[16];
        KeySym keysym = 0;
        const int n = x_.lookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
        for (int i = 0; i < n; ++i)
          if (!more(buffer[i])) return;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) return;
    }
  }

  const XLibraries &x_;
  Display *display_;
  Window window_ = 0;
};

}  // namespace testing_support
#endif
