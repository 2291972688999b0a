// The vibrator: sysfs LED and timed-output devices (a temporary directory
// stands in for /sys), and a force-feedback input device through the
// system-call seam.
#include "platform/posix/vibrator_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/posix/force_feedback_calls.h"
#include "platform/posix/terminal_config.h"

namespace {

using namespace reader::platform::posix;
using platform_test::ScopedEnv;

std::size_t countLines(const std::string &text) {
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

class SysfsVibrator : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/reader-vibrator-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    reloadTerminalConfig();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  void write(const std::string &name, const std::string &text) { std::ofstream(dir_ + "/" + name) << text; }
  std::string read(const std::string &name) {
    std::ifstream in(dir_ + "/" + name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string dir_;
};

TEST_F(SysfsVibrator, AnLedRunsAtFullBrightnessUntilOff) {
  write("brightness", "0\n");
  write("max_brightness", "255\n");
  ScopedEnv vibrator("READER_VIBRATOR", ("led:" + dir_).c_str());
  EXPECT_TRUE(driveVibrator(true));
  EXPECT_EQ(read("brightness"), "255");
  EXPECT_TRUE(driveVibrator(false));
  EXPECT_EQ(read("brightness"), "0");  // the whole value replaced, not "055"
  // Without a readable maximum, 1 is on.
  std::filesystem::remove(dir_ + "/max_brightness");
  EXPECT_TRUE(driveVibrator(true));
  EXPECT_EQ(read("brightness"), "1");
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(SysfsVibrator, ATimedOutputRunsForAMinuteAtMostUntilOff) {
  write("enable", "0\n");
  ScopedEnv vibrator("READER_VIBRATOR", ("timed:" + dir_).c_str());
  EXPECT_TRUE(driveVibrator(true));
  EXPECT_EQ(read("enable"), "60000");
  EXPECT_TRUE(driveVibrator(false));
  EXPECT_EQ(read("enable"), "0");
}

TEST_F(SysfsVibrator, AMissingOrUnwritableDeviceFailsAndIsReportedOnce) {
  ScopedEnv vibrator("READER_VIBRATOR", ("timed:" + dir_ + "/absent").c_str());
  EXPECT_FALSE(driveVibrator(true));
  EXPECT_FALSE(driveVibrator(false));
  EXPECT_FALSE(driveVibrator(true));
  EXPECT_EQ(countLines(terminalProblems()), 1u) << terminalProblems();
  EXPECT_NE(terminalProblems().find(dir_ + "/absent/enable"), std::string::npos) << terminalProblems();
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/absent"));  // nothing made up in its place

  // An attribute that takes no writes (sysfs answers EINVAL; here /dev/full's ENOSPC).
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", dir_ + "/brightness");
    ScopedEnv led("READER_VIBRATOR", ("led:" + dir_).c_str());
    reloadTerminalConfig();
    EXPECT_FALSE(driveVibrator(true));
    EXPECT_NE(terminalProblems().find("brightness"), std::string::npos) << terminalProblems();
  }
}

TEST(VibratorSetting, NoneOrAMalformedOneDrivesNothing) {
  reloadTerminalConfig();
  {
    ScopedEnv vibrator("READER_VIBRATOR", nullptr);
    EXPECT_FALSE(driveVibrator(true));
    EXPECT_FALSE(driveVibrator(false));
    EXPECT_EQ(terminalProblems(), "");
  }
  for (const char *value : {"led", "led:", "pwm:/sys/class/pwm", "/sys/class/leds/vibrator"}) {
    reloadTerminalConfig();
    ScopedEnv vibrator("READER_VIBRATOR", value);
    EXPECT_FALSE(driveVibrator(true)) << value;
    EXPECT_EQ(countLines(terminalProblems()), 1u) << value << ": " << terminalProblems();
  }
}

// A force-feedback device as the kernel's evdev would answer.
struct FakeEvdev {
  bool present = true;
  int uploadError = 0;
  int writeError = 0;
  int openFds = 0;
  int uploads = 0;
  std::vector<ff_effect> uploaded;
  std::vector<input_event> written;
  std::vector<int> removed;
  std::string openedPath;
};
FakeEvdev *evdev = nullptr;
constexpr int kFd = 77;
constexpr int kEffectId = 5;

class ForceFeedbackVibrator : public ::testing::Test {
 protected:
  void SetUp() override {
    evdev = &fake_;
    forceFeedbackCalls() = ForceFeedbackCalls{
        [](const char *path, int flags) {
          EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
          if (!evdev->present) {
            errno = ENOENT;
            return -1;
          }
          evdev->openedPath = path;
          ++evdev->openFds;
          return kFd;
        },
        [](int fd, unsigned long request, void *argument) {
          EXPECT_EQ(fd, kFd);
          if (request == EVIOCRMFF) {
            evdev->removed.push_back(static_cast<int>(reinterpret_cast<std::intptr_t>(argument)));
            return 0;
          }
          EXPECT_EQ(request, static_cast<unsigned long>(EVIOCSFF));
          if (evdev->uploadError != 0) {
            errno = evdev->uploadError;
            return -1;
          }
          auto *effect = static_cast<ff_effect *>(argument);
          evdev->uploaded.push_back(*effect);
          effect->id = kEffectId;
          return 0;
        },
        [](int fd, const void *buffer, std::size_t size) -> ssize_t {
          EXPECT_EQ(fd, kFd);
          if (evdev->writeError != 0) {
            errno = evdev->writeError;
            return -1;
          }
          EXPECT_EQ(size, sizeof(input_event));
          evdev->written.push_back(*static_cast<const input_event *>(buffer));
          return static_cast<ssize_t>(size);
        },
        [](int fd) {
          EXPECT_EQ(fd, kFd);
          --evdev->openFds;
          return 0;
        },
    };
    reloadTerminalConfig();
  }
  void TearDown() override {
    driveVibrator(false);
    forceFeedbackCalls() = systemForceFeedbackCalls();
    evdev = nullptr;
  }

  FakeEvdev fake_;
  ScopedEnv vibrator_{"READER_VIBRATOR", "ff:/dev/input/event4"};
};

TEST_F(ForceFeedbackVibrator, ARumbleEffectPlaysFromOnToOff) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(driveVibrator(true));
    EXPECT_EQ(fake_.openedPath, "/dev/input/event4");
    ASSERT_EQ(fake_.uploaded.size(), static_cast<std::size_t>(round + 1));
    const ff_effect &effect = fake_.uploaded.back();
    EXPECT_EQ(effect.type, FF_RUMBLE);
    EXPECT_EQ(effect.id, -1);  // a new effect
    EXPECT_EQ(effect.replay.length, 60000);
    EXPECT_GT(effect.u.rumble.strong_magnitude, 0x8000);
    EXPECT_TRUE(driveVibrator(false));
    ASSERT_EQ(fake_.written.size(), static_cast<std::size_t>(2 * round + 2));
    const input_event &play = fake_.written[2 * round], &stop = fake_.written[2 * round + 1];
    EXPECT_EQ(play.type, EV_FF);
    EXPECT_EQ(play.code, kEffectId);
    EXPECT_EQ(play.value, 1);
    EXPECT_EQ(stop.type, EV_FF);
    EXPECT_EQ(stop.code, kEffectId);
    EXPECT_EQ(stop.value, 0);
    EXPECT_EQ(fake_.openFds, 0);  // not held between vibrations
  }
  EXPECT_EQ(fake_.removed, (std::vector<int>{kEffectId, kEffectId}));
  // "on" twice keeps one device and one effect.
  EXPECT_TRUE(driveVibrator(true));
  EXPECT_TRUE(driveVibrator(true));
  EXPECT_EQ(fake_.openFds, 1);
  EXPECT_EQ(fake_.uploaded.size(), 3u);
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(ForceFeedbackVibrator, ADeviceThatFailsIsReportedAndLetGo) {
  fake_.present = false;
  EXPECT_FALSE(driveVibrator(true));
  EXPECT_TRUE(driveVibrator(false));  // nothing was started: nothing to stop
  fake_.present = true;
  fake_.uploadError = EINVAL;  // a device without rumble
  EXPECT_FALSE(driveVibrator(true));
  EXPECT_EQ(fake_.openFds, 0);
  fake_.uploadError = 0;
  EXPECT_TRUE(driveVibrator(true));
  fake_.writeError = ENODEV;  // unplugged while vibrating
  EXPECT_FALSE(driveVibrator(false));
  EXPECT_EQ(fake_.openFds, 0);
  fake_.writeError = 0;
  EXPECT_TRUE(driveVibrator(true));  // plugged in again
  EXPECT_TRUE(driveVibrator(false));
  EXPECT_EQ(fake_.openFds, 0);
  EXPECT_EQ(countLines(terminalProblems()), 3u) << terminalProblems();
}

}  // namespace
