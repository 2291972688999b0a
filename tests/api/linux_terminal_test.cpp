// A configured Linux terminal end to end through the exported API, with no
// host code for the trigger or the keyboard: an X server of the test's own
// (Xvfb), the trigger key grabbed by the library and pressed on the display
// through XTest, and the record typed by the library into a window of the
// test's that has the focus. The engine is the simulated text engine on a
// pseudo-terminal. Skipped where Xvfb, the X libraries or the Xlib headers
// are missing; the library itself needs none of them to build.
#include <3100XE_DLL.h>
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scan_host.h"
#include "support/scoped_env.h"
#include "support/test_terminal.h"
#include "support/thread_named.h"
#include "support/virtual_x_server.h"
#include "support/x_focus_window.h"

extern char **environ;

namespace {

using namespace testing_support;
using scan_testing::ScanHost;
using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

constexpr int kTriggerModeByte = 78;  // text engine: 0, the trigger drives it
constexpr int kKeyboardOutputByte = 346;
constexpr int kTerminatorPositionByte = 347;
constexpr int kTerminatorCharByte = 348;

// Generous bounds: a loaded machine under a sanitizer may take a while to
// start a server or pass a key on; every wait ends as soon as its condition
// holds.
constexpr int kPatienceMs = static_cast<int>(std::chrono::milliseconds(kPatience).count());

#if HAVE_XLIB_HEADERS
// The test's "keyboard": key presses and releases sent to the display
// through XTest, as a user's fingers would make them.
class XKeyboard {
 public:
  XKeyboard(const XLibraries &x, const std::string &display) : x_(x), display_(x.openDisplay(display.c_str())) {}
  ~XKeyboard() {
    if (display_ != nullptr) x_.closeDisplay(display_);
  }
  XKeyboard(const XKeyboard &) = delete;
  XKeyboard &operator=(const XKeyboard &) = delete;

  bool ok() const { return display_ != nullptr; }
  unsigned keycode(const char *keysym) const { return x_.keysymToKeycode(display_, x_.stringToKeysym(keysym)); }
  void key(const char *keysym, bool press) {
    x_.fakeKey(display_, keycode(keysym), press ? True : False, CurrentTime);
    x_.sync(display_, False);
  }

 private:
  const XLibraries &x_;
  Display *display_;
};

#endif

// The system's id of the library's X11 trigger thread ("reader-trigger").
std::optional<int> triggerThreadId() { return threadIdNamed("reader-trigger"); }

// True once the trigger thread waits in its poll on two descriptors (its
// stop request and the display): it gets there only after its key grabs
// have been confirmed by the server, so a key sent from then on is its.
bool triggerKeysGrabbed() {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::optional<int> tid = triggerThreadId()) {
      std::ifstream file("/proc/self/task/" + std::to_string(*tid) + "/syscall");
      std::string number, fds, count;
      file >> number >> fds >> count;
      if ((number == "7" || number == "271") && count == "0x2") return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// What the host's windows were told: the broadcasts by name, and each
// decode announced with the data GetDecodeData gave at that moment.
class Broadcasts {
 public:
  Broadcasts() { ReaderHostSetBroadcastListener(&Broadcasts::listen, this); }
  ~Broadcasts() { ReaderHostSetBroadcastListener(nullptr, nullptr); }
  Broadcasts(const Broadcasts &) = delete;
  Broadcasts &operator=(const Broadcasts &) = delete;

  std::vector<std::string> names() const {
    std::lock_guard lock(mutex_);
    return names_;
  }
  std::vector<std::string> decodes() const {
    std::lock_guard lock(mutex_);
    return decodes_;
  }

 private:
  static void listen(const char *message, long wParam, long, void *context) {
    auto *self = static_cast<Broadcasts *>(context);
    std::string decoded;
    const bool decode = std::string(message) == "WM_DECODEDATA" && wParam == READER_DEVICE_BARCODE;
    if (decode) decoded = scan_testing::decodeData();
    std::lock_guard lock(self->mutex_);
    self->names_.emplace_back(message);
    if (decode) self->decodes_.push_back(decoded);
  }

  mutable std::mutex mutex_;
  std::vector<std::string> names_;
  std::vector<std::string> decodes_;
};

// What an output listener receives: typed characters and key events.
class Outputs {
 public:
  Outputs() { ReaderHostSetOutputListener(&Outputs::listen, this); }
  ~Outputs() { ReaderHostSetOutputListener(nullptr, nullptr); }
  Outputs(const Outputs &) = delete;
  Outputs &operator=(const Outputs &) = delete;

  // "chars <values>" and "key <code> down|up", in order.
  std::vector<std::string> typed() const {
    std::lock_guard lock(mutex_);
    return typed_;
  }

 private:
  static void listen(const ReaderOutput *output, void *context) {
    auto *self = static_cast<Outputs *>(context);
    std::string line;
    if (output->kind == READER_OUTPUT_KEY_CHARS) {
      line = "chars";
      const auto *chars = static_cast<const std::int32_t *>(output->data);
      for (int i = 0; i < output->dataLength; ++i) line += " " + std::to_string(chars[i]);
    } else if (output->kind == READER_OUTPUT_KEY_EVENT) {
      line = "key " + std::to_string(output->value) + (output->value2 != 0 ? " up" : " down");
    } else {
      return;
    }
    std::lock_guard lock(self->mutex_);
    self->typed_.push_back(line);
  }

  mutable std::mutex mutex_;
  std::vector<std::string> typed_;
};

std::vector<std::string> engineCommands(const readersim::PtyDevice &engine) {
  std::vector<std::string> out;
  for (const ReceivedFrame &frame : receivedFrames(engine)) out.push_back(textEngineCommand(frame));
  return out;
}

std::size_t countOf(const std::vector<std::string> &all, const std::string &one) {
  return static_cast<std::size_t>(std::count(all.begin(), all.end(), one));
}

class LinuxTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
#if !HAVE_XLIB_HEADERS
    GTEST_SKIP() << "no Xlib headers to build the test's window with";
#else
    clearReaderEnvironment();
    if (!testing_support::xvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    if (!x_.ok()) GTEST_SKIP() << "libX11.so.6 or libXtst.so.6 is missing";
    server_.emplace();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    display_.emplace("DISPLAY", server_->display().c_str());
    keyboard_.emplace(x_, server_->display());
    ASSERT_TRUE(keyboard_->ok()) << "cannot open " << server_->display();
    ASSERT_NE(keyboard_->keycode("F11"), 0u) << "the server has no F11";
#endif
  }
  void TearDown() override {
    HaltReader(READER_DEVICE_ALL);
#if HAVE_XLIB_HEADERS
    keyboard_.reset();
#endif
    display_.reset();
    server_.reset();
  }

  // Starts the terminal (the text engine alone) and the reader, the trigger
  // driving the engine, keyboard output as asked (the Enter key after the
  // record).
  void startReader(bool keyboardOutput) {
    terminal_ = startTerminal(quickConfig(2, 0));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    Record record{};
    ASSERT_EQ(GetReaderSettings(record.data()), 1);
    record[kTriggerModeByte] = 0;
    record[kKeyboardOutputByte] = keyboardOutput ? 1 : 0;
    record[kTerminatorPositionByte] = 1;  // after the record
    record[kTerminatorCharByte] = 1;      // carriage return: the Enter key
    ASSERT_EQ(SetReaderSettings(record.data()), 1);
  }
  std::vector<std::string> commands() { return engineCommands(*terminal_->engine()); }
  void present(const char *barcode) { terminal_->barcodeEngine()->presentBarcode(readersim::barcodeOf(barcode)); }

  // Presses trigger key 1 as a host would, until a decode is announced.
  bool hostPressUntilAnnounced(const Broadcasts &broadcasts) {
    ReaderHostTriggerKey(1, 1);
    const bool announced = ScanHost::dispatchUntil([&] { return !broadcasts.decodes().empty(); });
    ReaderHostTriggerKey(1, 0);
    return announced;
  }
  // Dispatches until the engine has been switched off `offs` times.
  bool switchedOff(std::size_t offs) {
    return ScanHost::dispatchUntil([&] { return countOf(commands(), "OFF") >= offs; });
  }

  ScopedEnv config_{"READER_CONFIG", ""};  // no configuration file: the environment alone
  std::optional<VirtualXServer> server_;
  std::optional<ScopedEnv> display_;
#if HAVE_XLIB_HEADERS
  XLibraries x_;
  std::optional<XKeyboard> keyboard_;
#endif
  std::unique_ptr<readersim::Terminal> terminal_;
};

#if HAVE_XLIB_HEADERS

TEST_F(LinuxTerminal, AKeyPressedOnTheDisplayScansAndTheDecodeIsAnnounced) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11");
  ScopedEnv noKeyboard("READER_KEYBOARD", nullptr);
  Broadcasts broadcasts;
  startReader(false);
  ASSERT_TRUE(triggerKeysGrabbed()) << "the library's trigger reader did not grab F11";
  present("code128:LT19-0001");
  const std::size_t before = commands().size();
  const std::size_t offs = countOf(commands(), "OFF");

  keyboard_->key("F11", true);  // on the display, not through ReaderHostTriggerKey
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return !broadcasts.decodes().empty(); }))
      << "no decode announced; the engine was told "
      << ::testing::PrintToString(std::vector<std::string>(commands().begin() + before, commands().end()));
  EXPECT_EQ(broadcasts.decodes(), std::vector<std::string>{"LT19-0001"});
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), 1);
  EXPECT_EQ(scan_testing::decodeData(), "LT19-0001");
  keyboard_->key("F11", false);

  // The press switched the engine on and the release (or the decode)
  // switched it off: one cycle, nothing else.
  ASSERT_TRUE(switchedOff(offs + 1));
  std::vector<std::string> all = commands();
  EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (std::vector<std::string>{"ON", "OFF"}));
  // The key's press and release reached every window as the terminal's
  // key driver posts them.
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return countOf(broadcasts.names(), "WM_USER1UP") == 1; }));
  std::vector<std::string> names = broadcasts.names();
  EXPECT_EQ(countOf(names, "WM_USER1DOWN"), 1u);
  EXPECT_EQ(countOf(names, "WM_DECODEDATA"), 1u);
  EXPECT_LT(std::find(names.begin(), names.end(), "WM_USER1DOWN") - names.begin(),
            std::find(names.begin(), names.end(), "WM_DECODEDATA") - names.begin());
}

TEST_F(LinuxTerminal, TheFocusedWindowReceivesExactlyTheTypedRecordWithoutAnOutputListener) {
  ScopedEnv keyboard("READER_KEYBOARD", "x11");
  FocusWindow window(x_, server_->display());
  ASSERT_TRUE(window.ok());
  Broadcasts broadcasts;  // no output listener: the drivers take the outputs
  startReader(true);
  present("code128:Ab12-x");
  const std::size_t offs = countOf(commands(), "OFF");
  ASSERT_TRUE(hostPressUntilAnnounced(broadcasts));
  EXPECT_EQ(broadcasts.decodes(), std::vector<std::string>{"Ab12-x"});
  ASSERT_TRUE(switchedOff(offs + 1));
  // A key of the test's own after the scan marks the end of what the scan
  // typed: whatever came before it is the typed record.
  keyboard_->key("z", true);
  keyboard_->key("z", false);
  // An X application reads Return as a carriage return.
  EXPECT_EQ(window.receiveUntil('z'), "Ab12-x\r");
}

TEST_F(LinuxTerminal, AHostThatHandlesOnlyTheSoundGetsTheRecordAndTheWindowStillReceivesIt) {
  ScopedEnv keyboard("READER_KEYBOARD", "x11");
  FocusWindow window(x_, server_->display());
  ASSERT_TRUE(window.ok());
  Broadcasts broadcasts;
  Outputs outputs;
  ReaderHostSetHandledOutputs(READER_OUTPUT_BIT(READER_OUTPUT_SOUND));
  startReader(true);
  present("code128:Ab12-x");
  const std::size_t offs = countOf(commands(), "OFF");
  ASSERT_TRUE(hostPressUntilAnnounced(broadcasts));
  ASSERT_TRUE(switchedOff(offs + 1));
  keyboard_->key("z", true);
  keyboard_->key("z", false);
  EXPECT_EQ(window.receiveUntil('z'), "Ab12-x\r");
  // The listener is told every output, the keyboard's too, though it
  // handles only the sound.
  EXPECT_EQ(outputs.typed(), (std::vector<std::string>{"chars 65 98 49 50 45 120", "key 13 down", "key 13 up"}));
}

// The two X11 drivers together: while a user still holds the trigger key
// the record is typed at the announcement, and must reach the focused window
// although the trigger reader's key grab takes the whole keyboard at the
// press (the reader lets go of it at once and follows the release through
// XInput 2).
TEST_F(LinuxTerminal, TheTriggerKeyOnTheDisplayScansAndTheRecordIsTyped) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11");
  ScopedEnv keyboard("READER_KEYBOARD", "x11");
  FocusWindow window(x_, server_->display());
  ASSERT_TRUE(window.ok());
  Broadcasts broadcasts;
  startReader(true);
  ASSERT_TRUE(triggerKeysGrabbed()) << "the library's trigger reader did not grab F11";
  present("code128:Ab12-x");
  const std::size_t offs = countOf(commands(), "OFF");
  keyboard_->key("F11", true);
  ASSERT_TRUE(ScanHost::dispatchUntil([&] { return !broadcasts.decodes().empty(); }));
  keyboard_->key("F11", false);
  ASSERT_TRUE(switchedOff(offs + 1));
  keyboard_->key("z", true);
  keyboard_->key("z", false);
  EXPECT_EQ(window.receiveUntil('z'), "Ab12-x\r");
}

#endif

}  // namespace
