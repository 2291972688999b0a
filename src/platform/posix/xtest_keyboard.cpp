#include "platform/posix/xtest_keyboard.h"

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {

// The few Xlib and XTest entry points used, declared here so that the build
// needs neither library nor headers. Display is opaque to us.
struct XDisplay;
using KeySym = unsigned long;
using XBool = int;
using IoErrorExitHandler = void (*)(XDisplay *, void *);
using IoErrorHandler = int (*)(XDisplay *);

struct XLibrary {
  XDisplay *(*openDisplay)(const char *);
  int (*closeDisplay)(XDisplay *);
  int (*flush)(XDisplay *);
  int (*connectionNumber)(XDisplay *);
  int (*displayKeycodes)(XDisplay *, int *, int *);
  KeySym *(*getKeyboardMapping)(XDisplay *, unsigned char, int, int *);
  int (*free)(void *);
  IoErrorHandler (*setIoErrorHandler)(IoErrorHandler);
  void (*setIoErrorExitHandler)(XDisplay *, IoErrorExitHandler, void *);
  XBool (*queryXTest)(XDisplay *, int *, int *, int *, int *);
  int (*fakeKeyEvent)(XDisplay *, unsigned int, XBool, unsigned long);
};

// One open display and what is known of it.
struct XConnection {
  const XLibrary *x;
  XDisplay *display;
  std::string name;
  bool lost = false;  // set by Xlib's I/O error exit handler, on the calling thread
};

namespace {

constexpr KeySym kShiftL = 0xFFE1;

// Xlib's I/O error handler is one for the whole process, and its default
// ends the process. Ours lets a lost display of the wedge's return to Xlib,
// which then calls that display's exit handler (displayLost) and fails its
// calls from then on; any other display gets the handler that was there
// before.
constinit std::atomic<XDisplay *> gWedgeDisplay{nullptr};
constinit std::atomic<IoErrorHandler> gPreviousIoErrorHandler{nullptr};

int ioError(XDisplay *display) {
  if (display == gWedgeDisplay.load()) return 0;
  IoErrorHandler previous = gPreviousIoErrorHandler.load();
  return previous != nullptr ? previous(display) : 0;
}

template <typename Function>
bool bind(void *library, const char *name, Function &function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Loaded once per process and never unloaded: other parts of the process
// (the host, the trigger keys) may hold the same libraries, and Xlib does
// not promise to survive being unloaded. nullptr when missing, with the
// reason in `problem` (reported at every start).
const XLibrary *loadXLibrary(std::string &problem) {
  static std::string failure;
  static const XLibrary *loaded = []() -> const XLibrary * {
    void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    void *xtst = x11 != nullptr ? dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (xtst == nullptr) {
      const char *reason = dlerror();
      failure = std::string("keyboard wedge: cannot load the X libraries: ") +
                (reason != nullptr ? reason : "unknown reason");
      return nullptr;
    }
    static XLibrary x{};
    bool bound = bind(x11, "XOpenDisplay", x.openDisplay) && bind(x11, "XCloseDisplay", x.closeDisplay) &&
                 bind(x11, "XFlush", x.flush) && bind(x11, "XConnectionNumber", x.connectionNumber) &&
                 bind(x11, "XDisplayKeycodes", x.displayKeycodes) &&
                 bind(x11, "XGetKeyboardMapping", x.getKeyboardMapping) && bind(x11, "XFree", x.free) &&
                 bind(x11, "XSetIOErrorHandler", x.setIoErrorHandler) &&
                 bind(xtst, "XTestQueryExtension", x.queryXTest) && bind(xtst, "XTestFakeKeyEvent", x.fakeKeyEvent);
    if (!bound) {
      failure = "keyboard wedge: libX11.so.6 or libXtst.so.6 lacks a function it should have";
      return nullptr;
    }
    // Without it (libX11 before 1.7) a lost display ends the process.
    if (!bind(x11, "XSetIOErrorExitHandler", x.setIoErrorExitHandler)) {
      failure = "keyboard wedge: libX11.so.6 is older than 1.7; a lost display would end the process";
      return nullptr;
    }
    gPreviousIoErrorHandler.store(x.setIoErrorHandler(ioError));
    return &x;
  }();
  problem = failure;
  return loaded;
}

void displayLost(XDisplay *, void *connection) { static_cast<XConnection *>(connection)->lost = true; }

// The keysym a character is typed with: Latin-1 keysyms are the code points,
// the rest of Unicode has its own range; control characters have function
// keys. 0 when there is none.
KeySym keysymOf(char32_t character) {
  switch (character) {
    case '\n':
    case '\r': return 0xFF0D;  // Return
    case '\t': return 0xFF09;
    case '\b': return 0xFF08;
    case 0x1B: return 0xFF1B;
    default: break;
  }
  if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF)) return character;
  if (character > 0xFF && character <= 0x10FFFF && (character < 0xD800 || character > 0xDFFF)) {
    return 0x01000000 | character;
  }
  return 0;
}

// The display's core keyboard map: for each keycode, its keysyms by level.
class KeyboardMap {
 public:
  explicit KeyboardMap(const XConnection &c) : c_(c) {
    c.x->displayKeycodes(c.display, &first_, &last_);
    if (first_ < 8 || last_ > 255 || last_ < first_) return;
    syms_ = c.x->getKeyboardMapping(c.display, static_cast<unsigned char>(first_), last_ - first_ + 1, &perKey_);
  }
  ~KeyboardMap() {
    if (syms_ != nullptr) c_.x->free(syms_);
  }
  KeyboardMap(const KeyboardMap &) = delete;
  KeyboardMap &operator=(const KeyboardMap &) = delete;

  // The keycode typing `keysym` on level 0 (no shift) or, failing that,
  // level 1 (shift); 0 when no key has it on either.
  unsigned int find(KeySym keysym, bool &shift) const {
    for (int level = 0; level < 2 && level < perKey_; ++level) {
      for (int code = first_; syms_ != nullptr && code <= last_; ++code) {
        if (syms_[(code - first_) * perKey_ + level] == keysym) {
          shift = level == 1;
          return static_cast<unsigned int>(code);
        }
      }
    }
    return 0;
  }

 private:
  const XConnection &c_;
  int first_ = 0;
  int last_ = -1;
  int perKey_ = 0;
  KeySym *syms_ = nullptr;
};

// Whether the display is lost. A server that has gone is seen on its socket
// before Xlib is asked anything: Xlib's own way there (the I/O error handler
// returning) releases the display's lock twice in libX11 1.8. The handler
// stays for a server that goes while a call is under way.
bool hasGone(XConnection &c) {
  pollfd hangUp{c.x->connectionNumber(c.display), POLLRDHUP, 0};
  if (!c.lost && ::poll(&hangUp, 1, 0) > 0 && (hangUp.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) c.lost = true;
  return c.lost;
}

// Closes the display. Closing a lost one would talk to its server again:
// only its socket is closed, and Xlib's memory for it is kept.
void release(XConnection &c) {
  if (!hasGone(c)) {
    c.x->closeDisplay(c.display);
  } else {
    static auto *lostDisplays = new std::vector<XDisplay *>;  // the wedge serialises: no lock
    ::close(c.x->connectionNumber(c.display));
    lostDisplays->push_back(c.display);
  }
  gWedgeDisplay.store(nullptr);
}

}  // namespace

std::unique_ptr<XTestKeyboard> XTestKeyboard::open() {
  std::string problem;
  const XLibrary *x = loadXLibrary(problem);
  if (x == nullptr) {
    reportTerminalProblem(problem);
    return nullptr;
  }
  const char *name = std::getenv("DISPLAY");
  if (name == nullptr || *name == 0) {
    reportTerminalProblem("keyboard wedge: no X display (DISPLAY is not set)");
    return nullptr;
  }
  XDisplay *display = x->openDisplay(name);
  if (display == nullptr) {
    reportTerminalProblem(std::string("keyboard wedge: cannot open the X display ") + name);
    return nullptr;
  }
  auto connection = std::make_unique<XConnection>(XConnection{x, display, name});
  gWedgeDisplay.store(display);
  x->setIoErrorExitHandler(display, displayLost, connection.get());
  int event = 0, error = 0, major = 0, minor = 0;
  if (!x->queryXTest(display, &event, &error, &major, &minor)) {
    reportTerminalProblem("keyboard wedge: the X display " + connection->name + " has no XTEST extension");
    release(*connection);
    return nullptr;
  }
  return std::unique_ptr<XTestKeyboard>(new XTestKeyboard(std::move(connection)));
}

XTestKeyboard::XTestKeyboard(std::unique_ptr<XConnection> connection) : connection_(std::move(connection)) {}

XTestKeyboard::~XTestKeyboard() { release(*connection_); }

bool XTestKeyboard::lost() {
  if (hasGone(*connection_)) reportTerminalProblem("keyboard wedge: lost the X display " + connection_->name);
  return connection_->lost;
}

bool XTestKeyboard::type(const char32_t *characters, std::size_t count,
                         const std::function<void(char32_t)> &untypable) {
  if (lost()) return false;
  const XConnection &c = *connection_;
  KeyboardMap map(c);
  bool unused = false;
  unsigned int shiftCode = map.find(kShiftL, unused);
  for (std::size_t i = 0; i < count && !c.lost; ++i) {
    bool shift = false;
    KeySym keysym = keysymOf(characters[i]);
    unsigned int code = keysym != 0 ? map.find(keysym, shift) : 0;
    if (code == 0 || (shift && shiftCode == 0)) {
      untypable(characters[i]);
      continue;
    }
    if (shift) c.x->fakeKeyEvent(c.display, shiftCode, 1, 0);
    c.x->fakeKeyEvent(c.display, code, 1, 0);
    c.x->fakeKeyEvent(c.display, code, 0, 0);
    if (shift) c.x->fakeKeyEvent(c.display, shiftCode, 0, 0);
  }
  if (!c.lost) c.x->flush(c.display);
  return !lost();
}

bool XTestKeyboard::key(std::uint32_t keysym, bool pressed) {
  if (lost()) return false;
  const XConnection &c = *connection_;
  bool shift = false;
  unsigned int code = KeyboardMap(c).find(keysym, shift);
  if (code == 0 && !c.lost) {
    char text[64];
    std::snprintf(text, sizeof text, "keyboard wedge: the X display has no key for keysym 0x%X", keysym);
    reportTerminalProblem(text);
    return true;
  }
  if (code != 0) {
    c.x->fakeKeyEvent(c.display, code, pressed ? 1 : 0, 0);
    c.x->flush(c.display);
  }
  return !lost();
}

}  // namespace reader::platform::posix
