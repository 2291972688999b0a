// The keyboard wedge on an X display, end to end: a virtual X server
// (Xvfb), a window of ours that has the focus and collects what it is
// typed, and the wedge typing through XTEST. Skipped where Xvfb or the Xlib
// headers are missing; the library itself needs neither.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform_test_support.h"
#include "platform/posix/keyboard_wedge.h"
#include "platform/posix/terminal_config.h"
#include "support/virtual_x_server.h"
#include "support/x_focus_window.h"

namespace {

using testing_support::VirtualXServer;

using namespace reader::platform::posix;
using platform_test::ScopedEnv;

int count(const std::string &text, const std::string &part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

#if HAVE_XLIB_HEADERS
using testing_support::FocusWindow;
using testing_support::XLibraries;
#endif

class X11Wedge : public ::testing::Test {
 protected:
  void SetUp() override {
#if !HAVE_XLIB_HEADERS
    GTEST_SKIP() << "no Xlib headers to build the test's window with";
#else
    if (!testing_support::xvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    if (!x_.windowsOk()) GTEST_SKIP() << "libX11.so.6 is not installed";
    server_ = std::make_unique<VirtualXServer>();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    displayEnv_ = std::make_unique<ScopedEnv>("DISPLAY", server_->display().c_str());
    reloadTerminalConfig();
#endif
  }
  void TearDown() override { stopKeyboardWedge(); }

#if HAVE_XLIB_HEADERS
  XLibraries x_;
#endif
  ScopedEnv keyboard_{"READER_KEYBOARD", "x11"};
  std::unique_ptr<VirtualXServer> server_;
  std::unique_ptr<ScopedEnv> displayEnv_;
};

#if HAVE_XLIB_HEADERS
TEST_F(X11Wedge, FocusedWindowReceivesExactlyTheTypedText) {
  FocusWindow window(x_, server_->display());
  ASSERT_TRUE(window.ok());
  startKeyboardWedge();
  const std::int32_t text[] = {'A', 'b', '1', '!', '\n'};
  EXPECT_TRUE(wedgeTypeCharacters(text, std::size(text)));
  // An X application reads Return as a carriage return.
  EXPECT_EQ(window.receive(5), "Ab1!\r");
  EXPECT_EQ(terminalProblems(), "");

  // A virtual key: shift held across a letter key gives its capital.
  EXPECT_TRUE(wedgeKeyEvent(0x10, false));
  EXPECT_TRUE(wedgeKeyEvent(0x5A, false));
  EXPECT_TRUE(wedgeKeyEvent(0x5A, true));
  EXPECT_TRUE(wedgeKeyEvent(0x10, true));
  EXPECT_TRUE(wedgeKeyEvent(0x0D, false));
  EXPECT_TRUE(wedgeKeyEvent(0x0D, true));
  EXPECT_EQ(window.receive(2), "Z\r");
}

TEST_F(X11Wedge, CharacterWithoutAKeyIsSkippedAndReportedOnce) {
  FocusWindow window(x_, server_->display());
  ASSERT_TRUE(window.ok());
  startKeyboardWedge();
  const std::int32_t text[] = {'x', 0x263A, 'y', 0x263A, '\t'};
  EXPECT_TRUE(wedgeTypeCharacters(text, std::size(text)));
  EXPECT_EQ(window.receive(3), "xy\t");
  EXPECT_EQ(count(terminalProblems(), "keyboard wedge: the display's keymap cannot type U+263A\r\n"), 1);
}

TEST_F(X11Wedge, LostDisplayIsOneProblemNotACrash) {
  startKeyboardWedge();
  const std::int32_t text[] = {'a', 'b'};
  EXPECT_TRUE(wedgeTypeCharacters(text, 2));
  server_->stop();
  // The first call may still find room in the socket; the loss shows by the
  // second at the latest, and every later call finds no wedge.
  bool first = wedgeTypeCharacters(text, 2);
  EXPECT_FALSE(first && wedgeTypeCharacters(text, 2));
  EXPECT_FALSE(wedgeTypeCharacters(text, 2));
  EXPECT_FALSE(wedgeKeyEvent(0x0D, false));
  EXPECT_EQ(terminalProblems(), "keyboard wedge: lost the X display " + server_->display() + "\r\n");
  stopKeyboardWedge();
}

TEST_F(X11Wedge, StoppingAfterTheDisplayWentAwayIsQuiet) {
  startKeyboardWedge();
  server_->stop();
  stopKeyboardWedge();  // nothing more is asked of the gone server
  const std::int32_t text[] = {'a'};
  EXPECT_FALSE(wedgeTypeCharacters(text, 1));
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(X11Wedge, MissingDisplayIsOneProblem) {
  ScopedEnv noDisplay("DISPLAY", nullptr);
  startKeyboardWedge();
  const std::int32_t text[] = {'a'};
  EXPECT_FALSE(wedgeTypeCharacters(text, 1));
  EXPECT_FALSE(wedgeKeyEvent(0x0D, false));
  EXPECT_EQ(terminalProblems(), "keyboard wedge: no X display (DISPLAY is not set)\r\n");
  stopKeyboardWedge();

  reloadTerminalConfig();
  ScopedEnv wrongDisplay("DISPLAY", ":65000");  // nobody serves it
  startKeyboardWedge();
  EXPECT_FALSE(wedgeTypeCharacters(text, 1));
  EXPECT_EQ(terminalProblems(), "keyboard wedge: cannot open the X display :65000\r\n");
}
#endif

}  // namespace
