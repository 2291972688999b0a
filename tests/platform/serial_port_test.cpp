// SerialPort on real pseudo-terminals: the slave is the "COM1:" device
// (READER_COM1), the test plays the device on the master side.
#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform_test_support.h"

namespace {

using namespace platform_test;
using namespace reader::platform;

constexpr ErrorCode err(int code) { return static_cast<ErrorCode>(code); }

TEST(SerialPortOpen, FailuresCarryTheSystemError) {
  const std::pair<const char *, int> cases[] = {
      {nullptr, ENOENT}, {"", ENOENT}, {"/nonexistent/ttyREADER", ENOENT}, {"/dev/null", ENOTTY}};
  for (auto [path, expected] : cases) {
    ScopedEnv env("READER_COM1", path);
    ErrorCode error = 0;
    EXPECT_EQ(SerialPort::open(1, error), nullptr) << (path ? path : "(unset)");
    EXPECT_EQ(error, err(expected)) << (path ? path : "(unset)");
  }
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ErrorCode error = 12345;
    port_ = SerialPort::open(1, error);
    ASSERT_NE(port_, nullptr) << "error " << error;
    EXPECT_EQ(error, 0u);
    setReadTimeout(2000);
  }

  void setReadTimeout(std::uint32_t ms) { readTimeoutMs_ = ms; }
  // The byte read, or kTimedOut, or kFailed with the error code in error_.
  static constexpr int kTimedOut = -1, kFailed = -2;
  int readOne() {
    std::uint8_t byte = 0;
    error_ = 99;
    ReadStatus status = port_->readByte(byte, readTimeoutMs_, error_);
    EXPECT_TRUE(status == ReadStatus::Failed || error_ == 0u) << error_;
    return status == ReadStatus::Byte ? byte : status == ReadStatus::TimedOut ? kTimedOut : kFailed;
  }
  speed_t masterSpeed() {
    termios settings{};  // on Linux the master reports the slave's settings
    EXPECT_EQ(tcgetattr(pty_.master(), &settings), 0);
    EXPECT_EQ(cfgetispeed(&settings), cfgetospeed(&settings));
    return cfgetospeed(&settings);
  }
  // A read without limit on another thread, seen blocked; it must then fail
  // promptly with `expected` once `wake` has run.
  void expectBlockedReadFails(const std::function<void()> &wake, int expected) {
    setReadTimeout(60000);
    int result = 0;
    BlockingCall reader([&] { result = readOne(); });
    EXPECT_TRUE(reader.blocked());
    wake();
    EXPECT_LT(reader.finish(), kPromptMs);
    EXPECT_EQ(result, kFailed);
    EXPECT_EQ(error_, err(expected));
  }

  Pty pty_;
  ScopedEnv env_{"READER_COM1", pty_.slavePath().c_str()};
  std::shared_ptr<SerialPort> port_;
  std::uint32_t readTimeoutMs_ = 0;
  ErrorCode error_ = 0;
};

TEST_F(SerialPortTest, BytesTravelBothWaysUnaltered) {
  // Bytes a cooked terminal would translate, swallow or act upon.
  const std::uint8_t out[] = {'h', 'i', 0x00, 0xFF, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F};
  std::size_t written = 0;
  ASSERT_EQ(port_->write(out, sizeof out, written), 0u);
  EXPECT_EQ(written, sizeof out);
  EXPECT_EQ(pty_.receive(sizeof out), std::string(reinterpret_cast<const char *>(out), sizeof out));

  const std::string in(
      "\x1B"
      "a\r\n\x00\xFF\x11\x13\x03\x7F",
      10);
  ASSERT_TRUE(pty_.send(in));
  for (char expected : in) EXPECT_EQ(readOne(), static_cast<std::uint8_t>(expected));
}

TEST_F(SerialPortTest, ReadTimeOutIsNeverCutShort) {
  // Short time-outs catch a wait rounded down to whole ticks.
  for (std::uint32_t timeoutMs : {1u, 7u, 50u}) {
    setReadTimeout(timeoutMs);
    auto start = Clock::now();
    EXPECT_EQ(readOne(), kTimedOut);
    double elapsed = elapsedMs(start);
    EXPECT_GE(elapsed, static_cast<double>(timeoutMs)) << "returned early for " << timeoutMs;
    EXPECT_LT(elapsed, timeoutMs + kPromptMs);
  }
}

TEST_F(SerialPortTest, PurgeDropsPendingInput) {
  ASSERT_TRUE(pty_.send("AB"));  // arrive together: 'B' is pending after 'A'
  EXPECT_EQ(readOne(), 'A');
  ASSERT_EQ(port_->purge(PurgeScope::Input), 0u);
  setReadTimeout(30);
  EXPECT_EQ(readOne(), kTimedOut);
  setReadTimeout(2000);
  ASSERT_TRUE(pty_.send("C"));
  EXPECT_EQ(readOne(), 'C');
}

TEST_F(SerialPortTest, CloseFromAnotherThreadWakesABlockedReadAndLaterCallsFail) {
  expectBlockedReadFails([this] { port_->close(); }, EBADF);
  port_->close();  // again: nothing happens
  EXPECT_FALSE(port_->isOpen());
  EXPECT_EQ(readOne(), kFailed);
  EXPECT_EQ(error_, err(EBADF));
  std::uint8_t byte = 0;
  std::size_t written = 7;
  EXPECT_EQ(port_->write(&byte, 1, written), err(EBADF));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port_->setSpeed(9600), err(EBADF));
  EXPECT_EQ(invalidPortError(), err(EBADF));
}

TEST_F(SerialPortTest, HangUpFailsABlockedReadPromptly) {
  expectBlockedReadFails([this] { pty_.closeMaster(); }, EIO);
  std::uint8_t byte = 0;
  std::size_t written = 0;
  EXPECT_NE(port_->write(&byte, 1, written), 0u);
  EXPECT_EQ(written, 0u);
}

TEST_F(SerialPortTest, SpeedIsVisibleOnTheMasterAndUnsupportedOnesChangeNothing) {
  EXPECT_EQ(masterSpeed(), static_cast<speed_t>(B9600));  // as opened
  const std::pair<int, speed_t> speeds[] = {{19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (auto [bitsPerSecond, constant] : speeds) {
    ASSERT_EQ(port_->setSpeed(bitsPerSecond), 0u) << bitsPerSecond;
    EXPECT_EQ(masterSpeed(), constant) << bitsPerSecond;
  }
  for (int bitsPerSecond : {0, -1, 4800, 230400}) {
    EXPECT_EQ(port_->setSpeed(bitsPerSecond), err(EINVAL)) << bitsPerSecond;
  }
  EXPECT_EQ(masterSpeed(), static_cast<speed_t>(B115200));
}

// The exclusive flag lives in the terminal, which a pseudo-terminal keeps
// while its master is open: left set, the port could never be opened again by
// an unprivileged process. TIOCGEXCL reads it for root and others alike.
int exclusiveFlag(int fd) {
  int exclusive = -1;
  EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  return exclusive;
}

TEST_F(SerialPortTest, TheExclusiveUseLastsFromOpenToClose) {
  const int watcher = ::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(watcher, 0);
  // root opens an exclusive terminal anyway; everyone else gets EBUSY.
  EXPECT_EQ(exclusiveFlag(watcher), 1);
  port_->close();
  EXPECT_EQ(exclusiveFlag(watcher), 0);
  ::close(watcher);
  ErrorCode error = 0;
  EXPECT_NE(SerialPort::open(1, error), nullptr);
}

TEST(SerialPortOpen, AnOpenThatFailsLeavesThePortFreeForOthers) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ScopedEnv env("READER_COM1", pty.slavePath().c_str());
  const int watcher = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(watcher, 0);
  // Leave room for the device itself but not for the port's wake-up pipe.
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree + 1);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  ErrorCode error = 0;
  auto port = SerialPort::open(1, error);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(error, err(EMFILE));
  EXPECT_EQ(exclusiveFlag(watcher), 0);
  ::close(watcher);
}

TEST_F(SerialPortTest, OutputWrittenBeforeAPurgeOfInputOrAClosePassesWhole) {
  // A pseudo-terminal holds written bytes until its master reads them, so
  // this stands for bytes still on their way out of a UART.
  const std::uint8_t on[] = {0x1B, 'O', 'N', 0x0D};
  std::size_t written = 0;
  ASSERT_EQ(port_->write(on, sizeof on, written), 0u);
  ASSERT_EQ(port_->purge(PurgeScope::Input), 0u);
  const std::uint8_t off[] = {0x1B, 'O', 'F', 'F', 0x0D};
  ASSERT_EQ(port_->write(off, sizeof off, written), 0u);
  EXPECT_EQ(port_->drain(), 0u);
  port_->close();
  EXPECT_EQ(pty_.receive(sizeof on + sizeof off), std::string("\x1bON\r\x1bOFF\r"));
}

TEST_F(SerialPortTest, ModemLinesOnAPseudoTerminalAreNotAnError) {
  for (bool on : {true, false}) {
    EXPECT_EQ(port_->setRts(on), 0u);
    EXPECT_EQ(port_->setDtr(!on), 0u);
  }
}

}  // namespace
