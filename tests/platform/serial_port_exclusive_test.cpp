// Exclusive use of a port against every other user, root included (these
// tests run as root, who passes the terminal's own exclusive flag): a second
// opener fails at once as busy and leaves the holder's speed, input and flag
// alone, and a forked child closing its inherited copy takes nothing from
// the parent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/platform_test_support.h"
#include "platform/serial_port.h"
#include "support/port_claim.h"

namespace {

using namespace platform_test;
using namespace reader::platform;
using testing_support::exclusiveFlag;
using testing_support::lockedByAnother;

class SerialPortExclusiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ErrorCode error = 0;
    holder_ = SerialPort::open(1, error);
    ASSERT_NE(holder_, nullptr) << "error " << error;
    SerialTimeouts timeouts;
    timeouts.writeTotalMs = static_cast<std::uint32_t>(kPromptMs);
    ASSERT_EQ(holder_->setTimeouts(timeouts), 0u);
    ASSERT_EQ(holder_->setSpeed(115200), 0u);
  }

  speed_t lineSpeed() {
    termios settings{};  // the master reports the slave's settings
    EXPECT_EQ(tcgetattr(pty_.master(), &settings), 0);
    return cfgetospeed(&settings);
  }
  std::string readFromHolder(std::size_t count) {
    std::string text;
    std::uint8_t byte = 0;
    ErrorCode error = 0;
    const auto waitMs = static_cast<std::uint32_t>(kPromptMs);
    while (text.size() < count && holder_->readByte(byte, waitMs, error) == ReadStatus::Byte)
      text += static_cast<char>(byte);
    return text;
  }
  // The holder still works both ways, with what arrived before kept.
  void expectHolderUndisturbed(const std::string &pending) {
    EXPECT_EQ(lineSpeed(), static_cast<speed_t>(B115200));
    EXPECT_EQ(exclusiveFlag(pty_.slavePath()), 1);
    EXPECT_TRUE(lockedByAnother(pty_.slavePath()));
    ASSERT_TRUE(pty_.send("late"));
    EXPECT_EQ(readFromHolder(pending.size() + 4), pending + "late");
    const std::uint8_t out[] = {'o', 'k'};
    std::size_t written = 0;
    EXPECT_EQ(holder_->write(out, sizeof out, written), 0u);
    EXPECT_EQ(pty_.receive(2), "ok");
  }

  Pty pty_;
  ScopedEnv env_{"READER_COM1", pty_.slavePath().c_str()};
  std::shared_ptr<SerialPort> holder_;
};

TEST_F(SerialPortExclusiveTest, ASecondOpenIsBusyAndLeavesTheHolderAlone) {
  ASSERT_TRUE(pty_.send("early"));  // waiting in the holder's input
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(EBUSY));
  expectHolderUndisturbed("early");
  // Free again once the holder lets go.
  holder_->close();
  EXPECT_EQ(exclusiveFlag(pty_.slavePath()), 0);
  auto next = SerialPort::open(1, error);
  EXPECT_NE(next, nullptr) << "error " << error;
}

TEST(SerialPortForeignHolder, AProgramHoldingOnlyTheExclusiveFlagMakesThePortBusyAndKeepsIt) {
  // A tool that sets TIOCEXCL without taking the lock.
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ScopedEnv env("READER_COM1", pty.slavePath().c_str());
  const int foreign = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(foreign, 0);
  ASSERT_EQ(::ioctl(foreign, TIOCEXCL), 0);
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(EBUSY));
  EXPECT_EQ(exclusiveFlag(pty.slavePath()), 1);
  ::ioctl(foreign, TIOCNXCL);
  ::close(foreign);
}

// A host that forks after opening (Python's os.fork, a daemon): the child's
// copy of the port goes away with no effect on the parent's.
TEST_F(SerialPortExclusiveTest, AForkedChildClosingItsCopyLeavesTheParentsPortAsItWas) {
  ASSERT_TRUE(pty_.send("early"));
  int closed[2];
  ASSERT_EQ(::pipe(closed), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    holder_->close();
    const char done = holder_->isOpen() ? 'o' : 'c';
    ::_exit(::write(closed[1], &done, 1) == 1 ? 0 : 1);
  }
  ::close(closed[1]);
  // A child stuck on a lock copied from the parent is a failure, not a hang.
  pollfd reply{closed[0], POLLIN, 0};
  char done = 0;
  const bool returned = ::poll(&reply, 1, static_cast<int>(kPromptMs)) == 1 && ::read(closed[0], &done, 1) == 1;
  ::close(closed[0]);
  if (!returned) ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(returned) << "the child's close did not return";
  EXPECT_EQ(done, 'c');
  EXPECT_TRUE(holder_->isOpen());
  expectHolderUndisturbed("early");
}

}  // namespace
