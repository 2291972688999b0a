// The POSIX host API as an application uses it with a started reader: trigger
// keys reach the hidden window and the broadcast listener, named events can
// be waited for, and nothing happens before the window exists.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "support/test_terminal.h"

using namespace testing_support;

namespace {

struct Broadcasts {
  std::mutex mutex;
  std::vector<std::string> names;
  static void listen(const char *message, long, long, void *context) {
    auto *self = static_cast<Broadcasts *>(context);
    std::lock_guard lock(self->mutex);
    self->names.push_back(message);
  }
};

class HostApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    ReaderHostSetBroadcastListener(&Broadcasts::listen, &broadcasts_);
  }
  void TearDown() override {
    ReaderHostSetBroadcastListener(nullptr, nullptr);
    HaltReader(READER_DEVICE_ALL);
  }
  Broadcasts broadcasts_;
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(HostApiTest, TriggerKeysAreBroadcastAndReachTheReaderWindow) {
  EXPECT_EQ(ReaderHostTriggerKey(3, 1), 0);
  EXPECT_EQ(ReaderHostTriggerKey(0, 1), 0);
  // Before the reader is started no window exists: only the listener hears.
  EXPECT_EQ(ReaderHostTriggerKey(1, 1), 1);
  EXPECT_EQ(ReaderHostDispatch(0), 0);

  terminal_ = startTerminal(quickConfig(2, 0));
  ASSERT_EQ(InitReader(), READER_OK);
  SetTriggerKey(1);
  EXPECT_EQ(ReaderHostTriggerKey(2, 1), 1);
  EXPECT_EQ(ReaderHostTriggerKey(2, 0), 1);
  EXPECT_EQ(ReaderHostDispatch(1000), 2);  // down and up, on the window's thread
  EXPECT_EQ(ReaderHostDispatch(0), 0);
  std::lock_guard lock(broadcasts_.mutex);
  EXPECT_EQ(broadcasts_.names, (std::vector<std::string>{"WM_USER1DOWN", "WM_USER2DOWN", "WM_USER2UP"}));
}

TEST_F(HostApiTest, DecodeEventsExistFromTheStartUntilTheirDeviceIsHalted) {
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), -1);
  EXPECT_EQ(ReaderHostWaitEvent(nullptr, 0), -1);
  terminal_ = startTerminal(quickConfig(2, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 10), 0);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 10), 0);
  ASSERT_EQ(HaltReader(READER_DEVICE_RFID), READER_OK);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 10), -1);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 10), 0);
}

TEST_F(HostApiTest, TheLinkSpeedOfEachPortIsToldWhileItsDeviceIsPresent) {
  readersim::TerminalConfig config = quickConfig(4, 5);
  config.asciiModule.startSpeed = 9600;  // moved to 57600 by the start
  auto terminal = startTerminal(config);
  EXPECT_EQ(ReaderHostGetLinkSpeed(1), 0);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(ReaderHostGetLinkSpeed(1), 38400);
  EXPECT_EQ(ReaderHostGetLinkSpeed(2), 57600);
  for (int port : {0, 3, -1}) EXPECT_EQ(ReaderHostGetLinkSpeed(port), 0) << port;
  ASSERT_EQ(HaltReader(READER_DEVICE_RFID), READER_OK);
  EXPECT_EQ(ReaderHostGetLinkSpeed(2), 0);
  EXPECT_EQ(ReaderHostGetLinkSpeed(1), 38400);
}
