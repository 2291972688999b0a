// The trigger keys read from an input event device. FIFOs in a temporary
// directory stand for the devices: the reader opens and reads them through
// the input seam as it would /dev/input/event*, the test writes real
// struct input_event records into them, and the seam answers the ioctls as a
// keyboard (or not) would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/posix/input_calls.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/trigger_keys.h"
#include "platform/trigger_test_support.h"

namespace {

using namespace reader::platform::posix;
using platform_test::kPromptMs;
using platform_test::ScopedEnv;
using trigger_test::MessageLog;
using Names = std::vector<std::string>;

// What a device answers to the ioctls.
struct DeviceAnswers {
  std::string name = "Trigger Keys";
  bool hasKeys = true;          // EV_KEY among its event types
  std::set<unsigned> keys;      // the keys it has
  std::set<unsigned> keysDown;  // EVIOCGKEY
  int grabError = 0;            // errno of EVIOCGRAB, 0: granted
};

// The seam's state: the answers by path, what the reader opened, read and
// grabbed.
struct FakeInput {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, DeviceAnswers> answers;
  std::map<int, std::string> openPaths;  // fd -> path, while open
  std::map<std::string, int> opens;      // successful opens by path
  std::vector<std::pair<std::string, long>> grabs;
  int reads = 0;
  std::string failReadPath;  // the next read of this device fails...
  int failReadError = 0;     // ...with this errno
  std::string directory;

  template <typename Predicate>
  bool waitUntil(Predicate predicate) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::duration<double, std::milli>(kPromptMs), predicate);
  }
};
FakeInput *gInput = nullptr;

std::string pathOf(int fd) {
  auto found = gInput->openPaths.find(fd);
  return found != gInput->openPaths.end() ? found->second : std::string();
}

int fakeOpen(const char *path, int flags) {
  int fd = ::open(path, flags);
  if (fd >= 0) {
    std::lock_guard lock(gInput->mutex);
    gInput->openPaths[fd] = path;
    ++gInput->opens[path];
    gInput->changed.notify_all();
  }
  return fd;
}

int fakeClose(int fd) {
  std::lock_guard lock(gInput->mutex);
  gInput->openPaths.erase(fd);
  gInput->changed.notify_all();
  return ::close(fd);
}

ssize_t fakeRead(int fd, void *buffer, std::size_t size) {
  {
    std::lock_guard lock(gInput->mutex);
    ++gInput->reads;
    gInput->changed.notify_all();
    if (!gInput->failReadPath.empty() && pathOf(fd) == gInput->failReadPath) {
      gInput->failReadPath.clear();
      errno = gInput->failReadError;
      return -1;
    }
  }
  return ::read(fd, buffer, size);
}

void setBit(void *bits, std::size_t size, unsigned bit) {
  if (bit / 8 < size) static_cast<unsigned char *>(bits)[bit / 8] |= static_cast<unsigned char>(1U << (bit % 8));
}

int fakeControl(int fd, unsigned long request, void *argument) {
  std::lock_guard lock(gInput->mutex);
  auto found = gInput->answers.find(pathOf(fd));
  if (found == gInput->answers.end() || _IOC_TYPE(request) != 'E') {
    errno = ENOTTY;
    return -1;
  }
  const DeviceAnswers &device = found->second;
  unsigned number = _IOC_NR(request);
  std::size_t size = _IOC_SIZE(request);
  if (request == EVIOCGRAB) {
    gInput->grabs.emplace_back(found->first, reinterpret_cast<std::intptr_t>(argument));
    gInput->changed.notify_all();
    if (device.grabError != 0) {
      errno = device.grabError;
      return -1;
    }
    return 0;
  }
  std::memset(argument, 0, size);
  if (number == _IOC_NR(EVIOCGNAME(0))) {
    std::strncpy(static_cast<char *>(argument), device.name.c_str(), size);
    return static_cast<int>(std::min(size, device.name.size() + 1));
  }
  if (number == _IOC_NR(EVIOCGKEY(0))) {
    for (unsigned key : device.keysDown) setBit(argument, size, key);
    return static_cast<int>(size);
  }
  if (number == _IOC_NR(EVIOCGBIT(0, 0))) {
    setBit(argument, size, EV_SYN);
    if (device.hasKeys) setBit(argument, size, EV_KEY);
    return static_cast<int>(size);
  }
  if (number == _IOC_NR(EVIOCGBIT(EV_KEY, 0))) {
    for (unsigned key : device.keys) setBit(argument, size, key);
    return static_cast<int>(size);
  }
  errno = EINVAL;
  return -1;
}

input_event keyEvent(unsigned code, int value) {
  input_event event{};
  event.type = EV_KEY;
  event.code = static_cast<std::uint16_t>(code);
  event.value = value;
  return event;
}
input_event syncEvent(unsigned code = SYN_REPORT) {
  input_event event{};
  event.type = EV_SYN;
  event.code = static_cast<std::uint16_t>(code);
  return event;
}

class EvdevTriggerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trigger-keys-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    input_.directory = directory_;
    calls_ = {fakeOpen, fakeClose, fakeRead, fakeControl, input_.directory.c_str()};
    gInput = &input_;
    setInputCallsForTesting(&calls_);
    reloadTerminalConfig();
  }
  void TearDown() override {
    stopTriggerKeys();
    setInputCallsForTesting(nullptr);
    for (int fd : writers_) ::close(fd);
    std::filesystem::remove_all(directory_);
    gInput = nullptr;
  }

  std::string path(const char *entry) const { return directory_ + "/" + entry; }

  // A FIFO standing for a keyboard with `keys`, at `entry`.
  std::string addDevice(const char *entry, std::set<unsigned> keys, const char *name = "Trigger Keys") {
    std::string at = path(entry);
    {
      std::lock_guard lock(input_.mutex);
      DeviceAnswers &answers = input_.answers[at];
      answers.name = name;
      answers.keys = std::move(keys);
    }
    EXPECT_EQ(mkfifo(at.c_str(), 0600), 0);
    return at;
  }
  DeviceAnswers &answers(const std::string &at) { return input_.answers[at]; }

  int opens(const std::string &at) {
    std::lock_guard lock(input_.mutex);
    return input_.opens[at];
  }
  bool waitForOpens(const std::string &at, int count) {
    return input_.waitUntil([&] { return input_.opens[at] >= count; });
  }
  bool isOpen(const std::string &at) {
    std::lock_guard lock(input_.mutex);
    for (const auto &[fd, open] : input_.openPaths) {
      if (open == at) return true;
    }
    return false;
  }

  // The FIFO's writing end, once the reader has opened it `opened` times.
  int writerFor(const std::string &at, int opened = 1) {
    EXPECT_TRUE(waitForOpens(at, opened)) << at << " was not opened";
    int fd = ::open(at.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    writers_.push_back(fd);
    return fd;
  }
  static void send(int fd, const std::vector<input_event> &events) {
    ASSERT_EQ(::write(fd, events.data(), events.size() * sizeof(input_event)),
              static_cast<ssize_t>(events.size() * sizeof(input_event)));
  }
  // The device goes away: its entry first, then its writer (so that a
  // reopen finds nothing).
  void unplug(const std::string &at, int &writer) {
    ASSERT_EQ(::unlink(at.c_str()), 0);
    ::close(writer);
    std::erase(writers_, writer);
    writer = -1;
  }

  static std::vector<std::string> problemLines() {
    std::vector<std::string> lines;
    std::string text = terminalProblems();
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
      lines.push_back(text.substr(at, end - at));
    }
    return lines;
  }
  // The problems once there are `count`, or what came within the hang guard.
  static std::vector<std::string> waitForProblems(std::size_t count) {
    auto deadline = platform_test::Clock::now() + std::chrono::milliseconds(static_cast<int>(kPromptMs));
    while (problemLines().size() < count && platform_test::Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return problemLines();
  }

  FakeInput input_;
  InputCalls calls_{};
  std::string directory_;
  std::vector<int> writers_;
};

const Names kPressRelease1 = {"WM_USER1DOWN", "WM_USER1UP"};

TEST_F(EvdevTriggerKeys, PostsPressesAndReleasesOfTheConfiguredKeysOnlyNotRepeats) {
  std::string device = addDevice("event3", {KEY_F13, KEY_F14, KEY_A});
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  ScopedEnv key2("READER_TRIGGER2_KEY", "0xb8");  // KEY_F14
  MessageLog log;
  startTriggerKeys();
  int writer = writerFor(device);

  input_event misc{};
  misc.type = EV_MSC;
  misc.code = MSC_SCAN;
  misc.value = KEY_F14;
  send(writer, {misc, keyEvent(KEY_F13, 1), syncEvent(), keyEvent(KEY_F13, 2), keyEvent(KEY_F13, 2), syncEvent(),
                keyEvent(KEY_A, 1), keyEvent(KEY_A, 0), misc, keyEvent(KEY_F14, 1)});
  ASSERT_EQ(log.waitFor(2), (Names{"WM_USER1DOWN", "WM_USER2DOWN"}));
  // One record split across two writes, the reader reading the first part
  // alone: it must join the halves.
  input_event release = keyEvent(KEY_F13, 0);
  int readsBefore;
  {
    std::lock_guard lock(input_.mutex);
    readsBefore = input_.reads;
  }
  ASSERT_EQ(::write(writer, &release, 10), 10);
  ASSERT_TRUE(input_.waitUntil([&] { return input_.reads > readsBefore; }));
  ASSERT_EQ(::write(writer, reinterpret_cast<const char *>(&release) + 10, sizeof release - 10),
            static_cast<ssize_t>(sizeof release - 10));
  send(writer, {syncEvent(), keyEvent(KEY_F14, 2), keyEvent(KEY_F14, 0), syncEvent()});

  EXPECT_EQ(log.waitFor(4), (Names{"WM_USER1DOWN", "WM_USER2DOWN", "WM_USER1UP", "WM_USER2UP"}));
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(EvdevTriggerKeys, KeysHeldWhenEventsWereDroppedFollowTheDevicesKeyState) {
  std::string device = addDevice("event3", {KEY_F13, KEY_F14});
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  ScopedEnv key2("READER_TRIGGER2_KEY", "KEY_F14");
  MessageLog log;
  startTriggerKeys();
  int writer = writerFor(device);
  send(writer, {keyEvent(KEY_F13, 1), syncEvent()});
  ASSERT_EQ(log.waitFor(1), (Names{"WM_USER1DOWN"}));
  {
    std::lock_guard lock(input_.mutex);
    answers(device).keysDown = {KEY_F14};  // F13 went up, F14 down, while events were lost
  }
  // Events between the drop and the next report are incomplete: not acted on.
  send(writer, {syncEvent(SYN_DROPPED), keyEvent(KEY_F13, 1), keyEvent(KEY_F13, 0), syncEvent()});
  EXPECT_EQ(log.waitFor(3), (Names{"WM_USER1DOWN", "WM_USER1UP", "WM_USER2DOWN"}));
}

TEST_F(EvdevTriggerKeys, AMissingDeviceIsReportedOnceAndReadWhenItAppearsAndAfterItReturns) {
  std::string device = path("event5");
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  ScopedEnv grab("READER_TRIGGER_GRAB", "1");
  MessageLog log;
  startTriggerKeys();
  std::vector<std::string> problems = waitForProblems(1);
  ASSERT_EQ(problems.size(), 1u) << terminalProblems();
  EXPECT_NE(problems[0].find(device), std::string::npos) << problems[0];

  addDevice("event5", {KEY_F13});
  int writer = writerFor(device);
  send(writer, {keyEvent(KEY_F13, 1), syncEvent()});
  ASSERT_EQ(log.waitFor(1), (Names{"WM_USER1DOWN"}));

  // Unplugged while held: the trigger is released, and the reader waits
  // (without opening anything) for the device to come back.
  unplug(device, writer);
  EXPECT_EQ(log.waitFor(2), kPressRelease1);
  ASSERT_TRUE(input_.waitUntil([&] { return input_.openPaths.empty(); }));
  addDevice("event4", {KEY_F13});  // another device: not ours
  addDevice("event5", {KEY_F13});
  writer = writerFor(device, 2);
  send(writer, {keyEvent(KEY_F13, 1), keyEvent(KEY_F13, 0), syncEvent()});
  EXPECT_EQ(log.waitFor(4), (Names{"WM_USER1DOWN", "WM_USER1UP", "WM_USER1DOWN", "WM_USER1UP"}));
  EXPECT_EQ(opens(path("event4")), 0);
  std::lock_guard lock(input_.mutex);
  EXPECT_EQ(input_.grabs, (std::vector<std::pair<std::string, long>>{{device, 1}, {device, 1}}));
  EXPECT_EQ(problemLines().size(), 1u) << terminalProblems();
}

TEST_F(EvdevTriggerKeys, AReadErrorClosesTheDeviceAndReopensIt) {
  for (int error : {ENODEV, EIO}) {
    SCOPED_TRACE(std::strerror(error));
    std::string device = addDevice(error == ENODEV ? "event1" : "event2", {KEY_F13});
    ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
    ScopedEnv key2("READER_TRIGGER2_KEY", "KEY_F13");
    MessageLog log;
    startTriggerKeys();
    int writer = writerFor(device);
    send(writer, {keyEvent(KEY_F13, 1), syncEvent()});
    ASSERT_EQ(log.waitFor(1), (Names{"WM_USER2DOWN"}));
    {
      std::lock_guard lock(input_.mutex);
      input_.failReadPath = device;
      input_.failReadError = error;
    }
    // The failed read leaves the release in the FIFO: the trigger is let go
    // when the device fails, and the new descriptor reads the release again.
    send(writer, {keyEvent(KEY_F13, 0), syncEvent()});
    ASSERT_EQ(log.waitFor(3), (Names{"WM_USER2DOWN", "WM_USER2UP", "WM_USER2UP"}));
    ASSERT_TRUE(waitForOpens(device, 2));
    send(writer, {keyEvent(KEY_F13, 1), syncEvent()});
    EXPECT_EQ(log.waitFor(4).back(), "WM_USER2DOWN");
    EXPECT_EQ(opens(device), 2);
    stopTriggerKeys();
  }
}

TEST_F(EvdevTriggerKeys, ANamedDeviceIsLookedUpAmongTheEventEntriesEachTimeOneAppears) {
  std::string power = addDevice("event0", {KEY_POWER}, "Power Button");
  std::string media = addDevice("event1", {KEY_VOLUMEUP}, "Scanner Keys");  // same name, lacks the key
  std::string keys = addDevice("event10", {KEY_PROG1}, "Scanner Keys");
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", "name:Scanner Keys");
  ScopedEnv key1("READER_TRIGGER1_KEY", "key_prog1");
  MessageLog log;
  startTriggerKeys();
  int writer = writerFor(keys);
  send(writer, {keyEvent(KEY_PROG1, 1), keyEvent(KEY_PROG1, 0), syncEvent()});
  ASSERT_EQ(log.waitFor(2), kPressRelease1);
  EXPECT_FALSE(isOpen(power));
  EXPECT_FALSE(isOpen(media));
  EXPECT_EQ(terminalProblems(), "");  // another device of the name will do

  unplug(keys, writer);
  ASSERT_TRUE(input_.waitUntil([&] { return input_.openPaths.empty(); }));
  std::string replugged = addDevice("event11", {KEY_PROG1}, "Scanner Keys");
  writer = writerFor(replugged);
  send(writer, {keyEvent(KEY_PROG1, 1), keyEvent(KEY_PROG1, 0), syncEvent()});
  EXPECT_EQ(log.waitFor(4), (Names{"WM_USER1DOWN", "WM_USER1UP", "WM_USER1DOWN", "WM_USER1UP"}));
}

TEST_F(EvdevTriggerKeys, ANamedDeviceThatIsMissingOrUnfitIsOneProblem) {
  addDevice("event0", {KEY_VOLUMEUP}, "Scanner Keys");
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", "name:Scanner Keys");
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_PROG1");
  startTriggerKeys();
  std::vector<std::string> problems = waitForProblems(1);
  ASSERT_EQ(problems.size(), 1u) << terminalProblems();
  EXPECT_NE(problems[0].find("has no key KEY_PROG1 (trigger 1)"), std::string::npos) << problems[0];
  stopTriggerKeys();

  reloadTerminalConfig();
  ScopedEnv other("READER_TRIGGER_DEVICE", "name:Nothing Of The Kind");
  startTriggerKeys();
  problems = waitForProblems(1);
  ASSERT_EQ(problems.size(), 1u) << terminalProblems();
  EXPECT_NE(problems[0].find("\"Nothing Of The Kind\": no such input device"), std::string::npos) << problems[0];
}

TEST_F(EvdevTriggerKeys, ADeviceThatCannotGiveTheKeysIsOneProblemAndNotKeptOpen) {
  std::string mouse = addDevice("event6", {});
  {
    std::lock_guard lock(input_.mutex);
    answers(mouse).hasKeys = false;
  }
  std::string keypad = addDevice("event7", {KEY_F13});
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  ScopedEnv key2("READER_TRIGGER2_KEY", "KEY_F14");
  struct Case {
    std::string device;
    std::string problem;
    bool kept;
  };
  for (const Case &each :
       {Case{mouse, " is not a keyboard", false}, Case{keypad, " has no key KEY_F14 (trigger 2)", true}}) {
    SCOPED_TRACE(each.device);
    reloadTerminalConfig();
    ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", each.device.c_str());
    MessageLog log;
    startTriggerKeys();
    ASSERT_TRUE(waitForOpens(each.device, 1));
    std::vector<std::string> problems = waitForProblems(1);
    ASSERT_EQ(problems.size(), 1u) << terminalProblems();
    EXPECT_NE(problems[0].find(each.device + each.problem), std::string::npos) << problems[0];
    if (each.kept) {
      int writer = writerFor(each.device);
      send(writer, {keyEvent(KEY_F13, 1), keyEvent(KEY_F13, 0), syncEvent()});
      EXPECT_EQ(log.waitFor(2), kPressRelease1);  // the key it has still works
    } else {
      EXPECT_TRUE(input_.waitUntil([&] { return input_.openPaths.empty(); }));
    }
    stopTriggerKeys();
  }
}

TEST_F(EvdevTriggerKeys, ARefusedGrabIsOneProblemAndTheKeysAreStillRead) {
  std::string device = addDevice("event3", {KEY_F13});
  {
    std::lock_guard lock(input_.mutex);
    answers(device).grabError = EBUSY;
  }
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
  ScopedEnv key1("READER_TRIGGER1_KEY", "183");
  ScopedEnv grab("READER_TRIGGER_GRAB", "1");
  MessageLog log;
  startTriggerKeys();
  int writer = writerFor(device);
  send(writer, {keyEvent(KEY_F13, 1), keyEvent(KEY_F13, 0), syncEvent()});
  EXPECT_EQ(log.waitFor(2), kPressRelease1);
  std::vector<std::string> problems = problemLines();
  ASSERT_EQ(problems.size(), 1u) << terminalProblems();
  EXPECT_NE(problems[0].find(std::strerror(EBUSY)), std::string::npos) << problems[0];
}

TEST_F(EvdevTriggerKeys, SettingsThatCannotWorkAreReportedAndStartNothing) {
  std::string device = addDevice("event3", {KEY_F13});
  struct Case {
    const char *device;
    const char *key1;
    const char *key2;
    std::vector<std::string> problems;  // each a part of one line
  };
  const Case cases[] = {
      {device.c_str(),
       "KEY_NO_SUCH",
       "0x300",
       {"READER_TRIGGER1_KEY: \"KEY_NO_SUCH\"", "READER_TRIGGER2_KEY: \"0x300\""}},
      {device.c_str(), "0", "768", {"READER_TRIGGER1_KEY: \"0\"", "READER_TRIGGER2_KEY: \"768\""}},
      {device.c_str(), nullptr, nullptr, {"neither READER_TRIGGER1_KEY nor READER_TRIGGER2_KEY"}},
      {nullptr, "KEY_F13", nullptr, {"READER_TRIGGER_DEVICE is not"}},
      {"name:", "KEY_F13", nullptr, {"names no device"}},
      {nullptr, nullptr, nullptr, {}},
      {"", " ", nullptr, {}},  // blank counts as unset
  };
  for (const Case &each : cases) {
    SCOPED_TRACE(std::string(each.device ? each.device : "-") + " " + (each.key1 ? each.key1 : "-"));
    reloadTerminalConfig();
    ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", each.device);
    ScopedEnv key1("READER_TRIGGER1_KEY", each.key1);
    ScopedEnv key2("READER_TRIGGER2_KEY", each.key2);
    startTriggerKeys();
    EXPECT_FALSE(trigger_test::triggerThreadId().has_value());
    std::vector<std::string> problems = problemLines();
    ASSERT_EQ(problems.size(), each.problems.size()) << terminalProblems();
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_NE(problems[i].find(each.problems[i]), std::string::npos) << problems[i];
    }
    stopTriggerKeys();
  }
  EXPECT_EQ(opens(device), 0);
}

TEST_F(EvdevTriggerKeys, StartAndStopAreIdempotentAndStopEndsEveryWait) {
  std::string device = addDevice("event3", {KEY_F13});
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  {
    ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", device.c_str());
    startTriggerKeys();
    startTriggerKeys();
    ASSERT_TRUE(waitForOpens(device, 1));
    ASSERT_TRUE(trigger_test::triggerThreadId().has_value());
    stopTriggerKeys();  // while reading the device
    EXPECT_FALSE(isOpen(device));
    EXPECT_FALSE(trigger_test::triggerThreadId().has_value());
    stopTriggerKeys();
    EXPECT_EQ(opens(device), 1);
  }
  std::string absent = path("event9");
  ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", absent.c_str());
  startTriggerKeys();
  std::optional<int> tid;
  ASSERT_TRUE(input_.waitUntil([&] { return (tid = trigger_test::triggerThreadId()).has_value(); }) || tid);
  stopTriggerKeys();  // while waiting for the device to appear
  EXPECT_FALSE(trigger_test::triggerThreadId().has_value());
}

// Not a speed test: an idle reader must sleep in the kernel, not look round
// every so often. The figures are printed for the record.
TEST_F(EvdevTriggerKeys, AnIdleReaderDoesNotWakeUp) {
  std::string device = addDevice("event3", {KEY_F13});
  ScopedEnv key1("READER_TRIGGER1_KEY", "KEY_F13");
  std::string absent = path("event9");
  for (const std::string &configured : {device, absent}) {
    ScopedEnv deviceSetting("READER_TRIGGER_DEVICE", configured.c_str());
    startTriggerKeys();
    if (configured == device) {
      ASSERT_TRUE(waitForOpens(device, 1));
    }
    std::optional<int> tid = trigger_test::triggerThreadId();
    ASSERT_TRUE(tid.has_value());
    ASSERT_TRUE(trigger_test::waitUntilAsleep(*tid));
    long before = trigger_test::contextSwitches(*tid);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long wakeUps = trigger_test::contextSwitches(*tid) - before;
    std::cout << (configured == device ? "reading" : "waiting for the device") << ": " << wakeUps
              << " context switches in 2 s\n";
    EXPECT_EQ(wakeUps, 0);
    stopTriggerKeys();
  }
}

}  // namespace
