// The keyboard wedge's virtual keyboard, through the uinput system-call
// seam: the device set-up the kernel is asked for, and every input event
// written, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/uinput.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/posix/keyboard_wedge.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/uinput_calls.h"
#include "platform/posix/us_keymap.h"

namespace {

using namespace reader::platform::posix;
using platform_test::ScopedEnv;

constexpr int kFd = 41;

// What the wedge asked of the kernel, and how the kernel is to answer.
struct FakeUinput {
  std::mutex lock;
  std::vector<std::string> calls;                               // "open <path> <flags>", "ioctl <request> <value>", ...
  std::vector<std::pair<unsigned long, unsigned long>> values;  // value ioctls, in order
  std::optional<uinput_setup> setup;
  std::string oldStyleDescription;  // what a kernel without UI_DEV_SETUP was written
  std::string written;              // every event byte, in order
  int openError = 0;
  unsigned long failingRequest = 0;  // answered with failingError
  int failingError = 0;
  int writeError = 0;
  std::size_t writeLimit = 0;  // bytes taken per write; 0: all
  bool created = false;
};
FakeUinput *gFake = nullptr;

int fakeOpen(const char *path, int flags) {
  std::lock_guard guard(gFake->lock);
  gFake->calls.push_back(std::string("open ") + path + " " + std::to_string(flags));
  if (gFake->openError != 0) {
    errno = gFake->openError;
    return -1;
  }
  return kFd;
}
int fakeClose(int fd) {
  std::lock_guard guard(gFake->lock);
  gFake->calls.push_back("close " + std::to_string(fd));
  return 0;
}
int fakeControlValue(int fd, unsigned long request, unsigned long value) {
  std::lock_guard guard(gFake->lock);
  EXPECT_EQ(fd, kFd);
  if (request == UI_DEV_CREATE) gFake->calls.push_back("create");
  if (request == UI_DEV_DESTROY) gFake->calls.push_back("destroy");
  gFake->values.emplace_back(request, value);
  if (request == gFake->failingRequest) {
    errno = gFake->failingError;
    return -1;
  }
  if (request == UI_DEV_CREATE) gFake->created = true;
  return 0;
}
int fakeControlData(int fd, unsigned long request, void *data) {
  std::lock_guard guard(gFake->lock);
  EXPECT_EQ(fd, kFd);
  EXPECT_EQ(request, UI_DEV_SETUP);
  if (request == gFake->failingRequest) {
    errno = gFake->failingError;
    return -1;
  }
  gFake->setup = *static_cast<const uinput_setup *>(data);
  return 0;
}
ssize_t fakeWrite(int fd, const void *bytes, std::size_t size) {
  std::lock_guard guard(gFake->lock);
  EXPECT_EQ(fd, kFd);
  if (!gFake->created) {  // before UI_DEV_CREATE: the old-style description
    gFake->oldStyleDescription.assign(static_cast<const char *>(bytes), size);
    return static_cast<ssize_t>(size);
  }
  if (gFake->writeError != 0) {
    errno = gFake->writeError;
    return -1;
  }
  std::size_t taken = gFake->writeLimit != 0 ? std::min(size, gFake->writeLimit) : size;
  gFake->written.append(static_cast<const char *>(bytes), taken);
  return static_cast<ssize_t>(taken);
}
constexpr UinputCalls kFakeCalls{fakeOpen, fakeClose, fakeControlValue, fakeControlData, fakeWrite};

// An input_event as the kernel lays it out, time zero.
std::string event(std::uint16_t type, std::uint16_t code, std::int32_t value) {
  input_event e{};
  e.type = type;
  e.code = code;
  e.value = value;
  return std::string(reinterpret_cast<const char *>(&e), sizeof e);
}
std::string press(std::uint16_t code) { return event(EV_KEY, code, 1) + event(EV_SYN, SYN_REPORT, 0); }
std::string release(std::uint16_t code) { return event(EV_KEY, code, 0) + event(EV_SYN, SYN_REPORT, 0); }
std::string tap(std::uint16_t code) { return press(code) + release(code); }
std::string shifted(std::uint16_t code) { return press(KEY_LEFTSHIFT) + tap(code) + release(KEY_LEFTSHIFT); }

// Readable form of written bytes, to make a mismatch legible.
std::string decode(const std::string &bytes) {
  std::string out;
  for (std::size_t at = 0; at + sizeof(input_event) <= bytes.size(); at += sizeof(input_event)) {
    input_event e;
    std::memcpy(&e, bytes.data() + at, sizeof e);
    out += std::to_string(e.type) + ":" + std::to_string(e.code) + ":" + std::to_string(e.value) + " ";
  }
  if (bytes.size() % sizeof(input_event) != 0) out += "+" + std::to_string(bytes.size() % sizeof(input_event));
  return out;
}

int count(const std::string &text, const std::string &part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class UinputWedge : public ::testing::Test {
 protected:
  void SetUp() override {
    gFake = &fake_;
    setUinputCallsForTesting(&kFakeCalls);
    reloadTerminalConfig();
  }
  void TearDown() override {
    stopKeyboardWedge();
    setUinputCallsForTesting(nullptr);
    gFake = nullptr;
  }
  std::string problems() const { return terminalProblems(); }

  FakeUinput fake_;
  ScopedEnv keyboard_{"READER_KEYBOARD", "uinput"};
  ScopedEnv path_{"READER_UINPUT_PATH", "/run/test/uinput"};
  ScopedEnv keymap_{"READER_KEYMAP", nullptr};
};

TEST_F(UinputWedge, CreatesOneKeyboardWithEveryKeyItTypes) {
  startKeyboardWedge();
  startKeyboardWedge();  // already running: nothing more
  ASSERT_FALSE(fake_.calls.empty());
  EXPECT_EQ(fake_.calls[0], "open /run/test/uinput " + std::to_string(O_WRONLY | O_NONBLOCK));
  EXPECT_EQ(std::count_if(fake_.calls.begin(), fake_.calls.end(), [](auto &c) { return c.rfind("open", 0) == 0; }), 1);
  EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "create"), 1);
  ASSERT_GE(fake_.values.size(), 3u);
  EXPECT_EQ(fake_.values[0], std::make_pair(static_cast<unsigned long>(UI_SET_EVBIT), 1ul * EV_KEY));
  EXPECT_EQ(fake_.values[1], std::make_pair(static_cast<unsigned long>(UI_SET_EVBIT), 1ul * EV_SYN));
  EXPECT_EQ(fake_.values.back(), std::make_pair(static_cast<unsigned long>(UI_DEV_CREATE), 0ul));
  std::vector<unsigned long> keys;
  for (auto [request, value] : fake_.values) {
    if (request == UI_SET_KEYBIT) keys.push_back(value);
  }
  // Every key the keymap types, shift, and the virtual keys' keys.
  for (std::uint16_t code : usKeymapKeys()) EXPECT_NE(std::find(keys.begin(), keys.end(), code), keys.end()) << code;
  for (unsigned long code : {KEY_LEFTSHIFT, KEY_ENTER, KEY_F1, KEY_F12, KEY_UP, KEY_LEFT, KEY_ESC, KEY_BACKSPACE}) {
    EXPECT_NE(std::find(keys.begin(), keys.end(), code), keys.end()) << code;
  }
  ASSERT_TRUE(fake_.setup.has_value());
  EXPECT_STREQ(fake_.setup->name, "reader3100xe keyboard wedge");
  EXPECT_EQ(fake_.setup->id.bustype, BUS_VIRTUAL);
  EXPECT_EQ(fake_.setup->ff_effects_max, 0u);
  EXPECT_EQ(problems(), "");

  stopKeyboardWedge();
  stopKeyboardWedge();
  EXPECT_EQ(fake_.values.back(), std::make_pair(static_cast<unsigned long>(UI_DEV_DESTROY), 0ul));
  EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "destroy"), 1);
  EXPECT_EQ(fake_.calls.back(), "close " + std::to_string(kFd));
  const std::int32_t text[] = {'x'};
  EXPECT_FALSE(wedgeTypeCharacters(text, 1));  // stopped
}

TEST_F(UinputWedge, TypesCharactersAsKeyEventsWithShiftWhereNeeded) {
  startKeyboardWedge();
  // 'A' needs shift, 'b' and '1' not, '!' is shift+1; '\n' and '\r' are
  // Enter; U+00E9 (also as the signed byte -23) has no key on a US keyboard.
  const std::int32_t text[] = {'A', 'b', 0xE9, '1', '!', '\n', -23, ' ', '~', '\t', '\r', 0x20AC};
  EXPECT_TRUE(wedgeTypeCharacters(text, std::size(text)));
  std::string expected = shifted(KEY_A) + tap(KEY_B) + tap(KEY_1) + shifted(KEY_1) + tap(KEY_ENTER) + tap(KEY_SPACE) +
                         shifted(KEY_GRAVE) + tap(KEY_TAB) + tap(KEY_ENTER);
  EXPECT_EQ(decode(fake_.written), decode(expected));
  EXPECT_TRUE(fake_.written == expected);  // and byte for byte, time zero
  std::string seen = problems();
  EXPECT_EQ(count(seen, "keyboard wedge: the us keymap cannot type U+00E9\r\n"), 1) << seen;
  EXPECT_EQ(count(seen, "keyboard wedge: the us keymap cannot type U+20AC\r\n"), 1) << seen;

  // Reported once per start, not once per occurrence.
  const std::int32_t again[] = {0xE9, 0xE9};
  fake_.written.clear();
  EXPECT_TRUE(wedgeTypeCharacters(again, 2));
  EXPECT_EQ(fake_.written, "");
  EXPECT_EQ(count(problems(), "U+00E9"), 1);
}

TEST_F(UinputWedge, VirtualKeysPressAndReleaseTheirKeys) {
  startKeyboardWedge();
  EXPECT_TRUE(wedgeKeyEvent(0x0D, false));
  EXPECT_TRUE(wedgeKeyEvent(0x0D, true));
  EXPECT_TRUE(wedgeKeyEvent(0x10, false));  // shift held across another key
  EXPECT_TRUE(wedgeKeyEvent(0x41, false));
  EXPECT_TRUE(wedgeKeyEvent(0x41, true));
  EXPECT_TRUE(wedgeKeyEvent(0x10, true));
  EXPECT_TRUE(wedgeKeyEvent(0x7B, false));  // F12
  EXPECT_TRUE(wedgeKeyEvent(0x26, false));  // up
  EXPECT_TRUE(wedgeKeyEvent(0x30, false));  // '0'
  EXPECT_TRUE(wedgeKeyEvent(0xFF, false));  // unknown: skipped, reported
  EXPECT_EQ(decode(fake_.written),
            decode(press(KEY_ENTER) + release(KEY_ENTER) + press(KEY_LEFTSHIFT) + press(KEY_A) + release(KEY_A) +
                   release(KEY_LEFTSHIFT) + press(KEY_F12) + press(KEY_UP) + press(KEY_0)));
  EXPECT_EQ(count(problems(), "keyboard wedge: no key for virtual key 0xFF"), 1);
}

TEST_F(UinputWedge, PartialWritesAreCompleted) {
  fake_.writeLimit = 7;  // the kernel takes whole events; a short write must still not lose bytes
  startKeyboardWedge();
  const std::int32_t text[] = {'Z', '?'};
  EXPECT_TRUE(wedgeTypeCharacters(text, 2));
  EXPECT_EQ(decode(fake_.written), decode(shifted(KEY_Z) + shifted(KEY_SLASH)));
  EXPECT_TRUE(fake_.written == shifted(KEY_Z) + shifted(KEY_SLASH));
}

TEST_F(UinputWedge, KernelWithoutDeviceSetupIsDescribedTheOldWay) {
  fake_.failingRequest = UI_DEV_SETUP;
  fake_.failingError = EINVAL;
  startKeyboardWedge();
  ASSERT_EQ(fake_.oldStyleDescription.size(), sizeof(uinput_user_dev));
  uinput_user_dev device;
  std::memcpy(&device, fake_.oldStyleDescription.data(), sizeof device);
  EXPECT_STREQ(device.name, "reader3100xe keyboard wedge");
  EXPECT_EQ(device.id.bustype, BUS_VIRTUAL);
  const std::int32_t text[] = {'a'};
  EXPECT_TRUE(wedgeTypeCharacters(text, 1));
  EXPECT_EQ(fake_.written, tap(KEY_A));
}

TEST_F(UinputWedge, DeviceThatCannotBeOpenedOrCreatedIsOneProblem) {
  const std::int32_t text[] = {'a', 'b'};
  fake_.openError = EACCES;
  startKeyboardWedge();
  EXPECT_FALSE(wedgeTypeCharacters(text, 2));
  EXPECT_FALSE(wedgeTypeCharacters(text, 2));
  EXPECT_FALSE(wedgeKeyEvent(0x0D, false));
  EXPECT_EQ(problems(), "keyboard wedge: cannot open /run/test/uinput: Permission denied\r\n");
  stopKeyboardWedge();

  reloadTerminalConfig();
  fake_.openError = 0;
  fake_.failingRequest = UI_DEV_CREATE;
  fake_.failingError = ENOMEM;
  fake_.calls.clear();
  startKeyboardWedge();
  EXPECT_FALSE(wedgeTypeCharacters(text, 2));
  EXPECT_EQ(problems(), "keyboard wedge: cannot create a keyboard on /run/test/uinput: " +
                            std::string(std::strerror(ENOMEM)) + "\r\n");
  EXPECT_EQ(fake_.calls.back(), "close " + std::to_string(kFd));  // not left open
  EXPECT_EQ(fake_.written, "");
}

TEST_F(UinputWedge, DeviceThatFailsWhileTypingStopsTheWedge) {
  startKeyboardWedge();
  fake_.writeError = ENODEV;
  const std::int32_t text[] = {'a', 'b', 'c'};
  EXPECT_FALSE(wedgeTypeCharacters(text, 3));
  EXPECT_FALSE(wedgeTypeCharacters(text, 3));
  EXPECT_FALSE(wedgeKeyEvent(0x0D, false));
  EXPECT_EQ(problems(),
            "keyboard wedge: cannot type on /run/test/uinput: " + std::string(std::strerror(ENODEV)) + "\r\n");
  EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "destroy"), 1);
  EXPECT_EQ(fake_.calls.back(), "close " + std::to_string(kFd));
}

TEST_F(UinputWedge, NothingHappensUnlessConfigured) {
  const std::int32_t text[] = {'a'};
  {
    ScopedEnv none("READER_KEYBOARD", nullptr);
    startKeyboardWedge();
    EXPECT_FALSE(wedgeTypeCharacters(text, 1));
    EXPECT_FALSE(wedgeKeyEvent(0x0D, false));
  }
  {
    ScopedEnv wrong("READER_KEYBOARD", "usb");
    startKeyboardWedge();
    EXPECT_FALSE(wedgeTypeCharacters(text, 1));
  }
  {
    ScopedEnv german("READER_KEYMAP", "de");
    startKeyboardWedge();  // typing a US map into a German layout would garble the data
    EXPECT_FALSE(wedgeTypeCharacters(text, 1));
  }
  EXPECT_TRUE(fake_.calls.empty());
  EXPECT_EQ(problems(),
            "keyboard wedge: READER_KEYBOARD=usb is not uinput, x11 or none\r\n"
            "keyboard wedge: READER_KEYMAP=de is not known (only us is)\r\n");
}

// Two threads typing at once: each character's events stay together.
TEST_F(UinputWedge, ConcurrentTypingKeepsEachCharacterWhole) {
  startKeyboardWedge();
  const std::int32_t upper[] = {'Q', 'Q', 'Q', 'Q'};
  const std::int32_t lower[] = {'w', 'w', 'w', 'w'};
  std::thread other([&] {
    for (int i = 0; i < 50; ++i) wedgeTypeCharacters(upper, 4);
  });
  for (int i = 0; i < 50; ++i) wedgeTypeCharacters(lower, 4);
  other.join();
  std::string q = shifted(KEY_Q), w = tap(KEY_W), rest = fake_.written;
  int qs = 0, ws = 0;
  while (!rest.empty()) {
    if (rest.compare(0, q.size(), q) == 0) {
      rest.erase(0, q.size());
      ++qs;
    } else if (rest.compare(0, w.size(), w) == 0) {
      rest.erase(0, w.size());
      ++ws;
    } else {
      FAIL() << "interleaved events: " << decode(rest.substr(0, 8 * sizeof(input_event)));
    }
  }
  EXPECT_EQ(qs, 200);
  EXPECT_EQ(ws, 200);
}

// The US layout: every printable ASCII character has its own stroke, the
// shifted ones exactly the upper-case letters and the shifted symbols.
TEST(UsKeymap, EveryPrintableAsciiCharacterHasItsOwnStroke) {
  std::vector<std::pair<std::uint16_t, bool>> strokes;
  const std::string shiftedSymbols = "~!@#$%^&*()_+{}|:\"<>?";
  std::vector<std::uint16_t> keys = usKeymapKeys();
  for (char32_t c = 0x20; c <= 0x7E; ++c) {
    auto stroke = usKeyStroke(c);
    ASSERT_TRUE(stroke.has_value()) << static_cast<char>(c);
    bool wantShift = (c >= 'A' && c <= 'Z') || shiftedSymbols.find(static_cast<char>(c)) != std::string::npos;
    EXPECT_EQ(stroke->shift, wantShift) << static_cast<char>(c);
    EXPECT_NE(std::find(keys.begin(), keys.end(), stroke->code), keys.end());
    strokes.emplace_back(stroke->code, stroke->shift);
  }
  std::sort(strokes.begin(), strokes.end());
  EXPECT_EQ(std::adjacent_find(strokes.begin(), strokes.end()), strokes.end());
  EXPECT_EQ(usKeyStroke('a')->code, usKeyStroke('A')->code);
  EXPECT_EQ(usKeyStroke(';')->code, KEY_SEMICOLON);
  EXPECT_EQ(usKeyStroke('"')->code, KEY_APOSTROPHE);
  for (char32_t c : {0x00u, 0x07u, 0x7Fu, 0x80u, 0xE9u, 0x110000u})
    EXPECT_FALSE(usKeyStroke(c).has_value()) << static_cast<unsigned>(c);
}

}  // namespace
