// The trigger keys grabbed on an X display: a real X server (Xvfb, skipped
// when it is not installed) started by the test, keys sent to it with the
// XTest extension, the trigger messages counted by the broadcast listener.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/trigger_keys.h"
#include "platform/trigger_test_support.h"
#include "support/virtual_x_server.h"

extern char **environ;

namespace {

using testing_support::VirtualXServer;

using namespace reader::platform::posix;
using platform_test::kPromptMs;
using platform_test::ScopedEnv;
using trigger_test::MessageLog;
using Names = std::vector<std::string>;

// The test's own client of the display: XTest key events and grabs.
class XClient {
 public:
  explicit XClient(const std::string &display) {
    x11_ = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    xtst_ = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (x11_ == nullptr || xtst_ == nullptr) return;
    auto open = reinterpret_cast<void *(*)(const char *)>(dlsym(x11_, "XOpenDisplay"));
    keysymToKeycode_ = reinterpret_cast<KeycodeOf>(dlsym(x11_, "XKeysymToKeycode"));
    stringToKeysym_ = reinterpret_cast<unsigned long (*)(const char *)>(dlsym(x11_, "XStringToKeysym"));
    sync_ = reinterpret_cast<int (*)(void *, int)>(dlsym(x11_, "XSync"));
    close_ = reinterpret_cast<int (*)(void *)>(dlsym(x11_, "XCloseDisplay"));
    grabKey_ = reinterpret_cast<GrabKey>(dlsym(x11_, "XGrabKey"));
    root_ = reinterpret_cast<unsigned long (*)(void *)>(dlsym(x11_, "XDefaultRootWindow"));
    grabKeyboard_ = reinterpret_cast<GrabKeyboard>(dlsym(x11_, "XGrabKeyboard"));
    fakeKey_ = reinterpret_cast<FakeKey>(dlsym(xtst_, "XTestFakeKeyEvent"));
    if (open && keysymToKeycode_ && stringToKeysym_ && sync_ && close_ && grabKey_ && root_ && grabKeyboard_ &&
        fakeKey_) {
      display_ = open(display.c_str());
    }
  }
  ~XClient() {
    if (display_ != nullptr) close_(display_);
    if (xtst_ != nullptr) dlclose(xtst_);
    if (x11_ != nullptr) dlclose(x11_);
  }
  XClient(const XClient &) = delete;
  XClient &operator=(const XClient &) = delete;

  bool ok() const { return display_ != nullptr; }
  unsigned keycode(const char *keysym) { return keysymToKeycode_(display_, stringToKeysym_(keysym)); }
  void key(const char *keysym, bool press) {
    fakeKey_(display_, keycode(keysym), press ? 1 : 0, 0);
    sync_(display_, 0);
  }
  void grab(const char *keysym) {
    grabKey_(display_, static_cast<int>(keycode(keysym)), 1U << 15, root_(display_), 0, 1, 1);
    sync_(display_, 0);
  }
  // An active grab of the whole keyboard, as a menu or a screen locker
  // takes: true when the server granted it.
  bool grabKeyboard() {
    int status = grabKeyboard_(display_, root_(display_), 0, 1, 1, 0);
    sync_(display_, 0);
    return status == 0;
  }

 private:
  using KeycodeOf = unsigned char (*)(void *, unsigned long);
  using GrabKey = int (*)(void *, int, unsigned, unsigned long, int, int, int);
  using FakeKey = int (*)(void *, unsigned, int, unsigned long);
  using GrabKeyboard = int (*)(void *, unsigned long, int, int, int, unsigned long);
  void *x11_ = nullptr;
  void *xtst_ = nullptr;
  void *display_ = nullptr;
  KeycodeOf keysymToKeycode_ = nullptr;
  unsigned long (*stringToKeysym_)(const char *) = nullptr;
  int (*sync_)(void *, int) = nullptr;
  int (*close_)(void *) = nullptr;
  GrabKey grabKey_ = nullptr;
  unsigned long (*root_)(void *) = nullptr;
  GrabKeyboard grabKeyboard_ = nullptr;
  FakeKey fakeKey_ = nullptr;
};

// True once the reader thread sleeps in its own poll (two descriptors: the
// stop request and the display), which it reaches only after its grabs.
bool readerWaitsForKeys() {
  auto deadline = platform_test::Clock::now() + std::chrono::milliseconds(static_cast<int>(kPromptMs));
  while (platform_test::Clock::now() < deadline) {
    if (std::optional<int> tid = trigger_test::triggerThreadId()) {
      std::ifstream file("/proc/self/task/" + std::to_string(*tid) + "/syscall");
      std::string number, fds, count;
      file >> number >> fds >> count;
      if ((number == "7" || number == "271") && count == "0x2" && trigger_test::waitUntilAsleep(*tid)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Waits for the reader thread to end on its own.
bool readerEnded() {
  auto deadline = platform_test::Clock::now() + std::chrono::milliseconds(static_cast<int>(kPromptMs));
  while (trigger_test::triggerThreadId() && platform_test::Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return !trigger_test::triggerThreadId();
}

class X11TriggerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::xvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    server_.emplace();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    display_.emplace("DISPLAY", server_->display().c_str());
    client_.emplace(server_->display());
    if (!client_->ok()) GTEST_SKIP() << "libX11.so.6 or libXtst.so.6 is missing";
    ASSERT_NE(client_->keycode("F11"), 0u) << "the server has no F11";
    reloadTerminalConfig();
  }
  void TearDown() override {
    stopTriggerKeys();
    client_.reset();
    display_.reset();
    server_.reset();
  }

  std::optional<VirtualXServer> server_;
  std::optional<ScopedEnv> display_;
  std::optional<XClient> client_;
};

TEST_F(X11TriggerKeys, PostsPressesAndReleasesOfTheGrabbedKeysWhateverTheModifiers) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11 , F12 ");
  ScopedEnv device("READER_TRIGGER_DEVICE", nullptr);
  MessageLog log;
  startTriggerKeys();
  ASSERT_TRUE(readerWaitsForKeys());
  client_->key("F11", true);
  client_->key("F11", true);  // as a held key repeats: not a second press
  client_->key("a", true);
  client_->key("a", false);
  client_->key("F11", false);
  client_->key("Shift_L", true);
  client_->key("F12", true);
  client_->key("F12", false);
  client_->key("Shift_L", false);
  EXPECT_EQ(log.waitFor(4), (Names{"WM_USER1DOWN", "WM_USER1UP", "WM_USER2DOWN", "WM_USER2UP"}));
  EXPECT_EQ(terminalProblems(), "");
  stopTriggerKeys();
  EXPECT_FALSE(trigger_test::triggerThreadId().has_value());
}

// The press lets go of the keyboard at once, so the reader follows the
// release through XInput 2 raw events, which come whatever grabs are active:
// another client's grab of the keyboard (taken here while the key is down,
// and refused while the reader still held it) does not hide the release, and
// the release is posted once.
TEST_F(X11TriggerKeys, TheKeyboardIsLetGoAtThePressAndTheReleaseIsSeenThroughAnotherClientsGrab) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11");
  MessageLog log;
  startTriggerKeys();
  ASSERT_TRUE(readerWaitsForKeys());
  client_->key("F11", true);
  ASSERT_EQ(log.waitFor(1), (Names{"WM_USER1DOWN"}));
  // The reader's ungrab may reach the server just after the message.
  bool grabbed = client_->grabKeyboard();
  for (int tries = 0; !grabbed && tries < 100; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    grabbed = client_->grabKeyboard();
  }
  ASSERT_TRUE(grabbed) << "the trigger reader still holds the keyboard";
  client_->key("F11", false);
  EXPECT_EQ(log.waitFor(2), (Names{"WM_USER1DOWN", "WM_USER1UP"}));
  client_->key("F11", true);  // the test's grab takes this press: not a trigger
  client_->key("F11", false);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(log.names(), (Names{"WM_USER1DOWN", "WM_USER1UP"}));
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(X11TriggerKeys, ADisplayThatGoesAwayEndsTheReaderWithOneProblem) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11");
  MessageLog log;
  startTriggerKeys();
  ASSERT_TRUE(readerWaitsForKeys());
  client_->key("F11", true);
  ASSERT_EQ(log.waitFor(1), (Names{"WM_USER1DOWN"}));
  client_.reset();
  server_->stop();
  ASSERT_TRUE(readerEnded());
  EXPECT_EQ(log.names(), (Names{"WM_USER1DOWN", "WM_USER1UP"}));  // the held trigger is let go
  std::string problems = terminalProblems();
  EXPECT_NE(problems.find("went away"), std::string::npos) << problems;
  EXPECT_EQ(problems.find("\r\n"), problems.size() - 2) << problems;
  stopTriggerKeys();
}

TEST_F(X11TriggerKeys, AKeyAnotherClientHoldsOrTheDisplayLacksIsOneProblemEach) {
  client_->grab("F11");
  ScopedEnv keys("READER_TRIGGER_X11", "F11,NoSuchKeysym,F12");
  MessageLog log;
  startTriggerKeys();
  ASSERT_TRUE(readerEnded());  // no key left to read
  std::string problems = terminalProblems();
  EXPECT_NE(problems.find("another program holds the key F11"), std::string::npos) << problems;
  EXPECT_NE(problems.find("only two keys"), std::string::npos) << problems;
  EXPECT_NE(problems.find("\"NoSuchKeysym\" is not a key name"), std::string::npos) << problems;
  stopTriggerKeys();

  reloadTerminalConfig();
  ScopedEnv other("READER_TRIGGER_X11", "F11,F12");
  startTriggerKeys();  // F11 still held by the test: F12 alone is read
  ASSERT_TRUE(readerWaitsForKeys());
  client_->key("F12", true);
  client_->key("F12", false);
  EXPECT_EQ(log.waitFor(2), (Names{"WM_USER2DOWN", "WM_USER2UP"}));
}

TEST_F(X11TriggerKeys, NoDisplayIsOneProblemAndNoThreadLeftRunning) {
  ScopedEnv keys("READER_TRIGGER_X11", "F11");
  for (const char *display : {static_cast<const char *>(nullptr), ":4095"}) {
    reloadTerminalConfig();
    ScopedEnv setting("DISPLAY", display);
    startTriggerKeys();
    ASSERT_TRUE(readerEnded());
    std::string problems = terminalProblems();
    EXPECT_NE(problems.find(display == nullptr ? "DISPLAY is not set" : "cannot open the X display \":4095\""),
              std::string::npos)
        << problems;
    stopTriggerKeys();
  }
}

}  // namespace
