// SerialPort on real pseudo-terminals: the slave is the "COM1:" device
// (READER_COM1), the test plays the device on the master side.
#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_test_support.h"

namespace {

using platform_test::Clock;
using platform_test::elapsedMs;
using platform_test::kPromptMs;
using platform_test::Pty;
using platform_test::ScopedEnv;
using reader::platform::ErrorCode;
using reader::platform::ReadStatus;
using reader::platform::SerialPort;
using reader::platform::SerialTimeouts;

pid_t currentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    env_ = std::make_unique<ScopedEnv>("READER_COM1", pty_.slavePath().c_str());
    ErrorCode error = 12345;
    port_ = SerialPort::open(1, error);
    ASSERT_NE(port_, nullptr) << "error " << error;
    EXPECT_EQ(error, 0u);
  }

  void setReadTimeout(std::uint32_t ms) {
    SerialTimeouts timeouts;
    ASSERT_EQ(port_->getTimeouts(timeouts), 0u);
    timeouts.readTotalMs = ms;
    ASSERT_EQ(port_->setTimeouts(timeouts), 0u);
  }

  void setWriteTimeout(std::uint32_t ms) {
    SerialTimeouts timeouts;
    ASSERT_EQ(port_->getTimeouts(timeouts), 0u);
    timeouts.writeTotalMs = ms;
    ASSERT_EQ(port_->setTimeouts(timeouts), 0u);
  }

  termios masterView() {
    termios settings{};
    EXPECT_EQ(tcgetattr(pty_.master(), &settings), 0);
    return settings;
  }

  Pty pty_;
  std::unique_ptr<ScopedEnv> env_;
  std::shared_ptr<SerialPort> port_;
};

TEST(SerialPortOpen, UnsetVariableGivesENOENT) {
  ScopedEnv unset("READER_COM7", nullptr);
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(7, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(ENOENT));
}

TEST(SerialPortOpen, EmptyVariableGivesENOENT) {
  ScopedEnv empty("READER_COM2", "");
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(2, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(ENOENT));
}

TEST(SerialPortOpen, MissingDeviceGivesItsErrno) {
  ScopedEnv missing("READER_COM1", "/nonexistent/dev/ttyREADER");
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(ENOENT));
}

TEST(SerialPortOpen, DirectoryGivesItsErrno) {
  ScopedEnv directory("READER_COM1", "/");
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(EISDIR));
}

TEST(SerialPortOpen, NonTerminalIsRefusedWithENOTTY) {
  ScopedEnv notTty("READER_COM1", "/dev/null");
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(ENOTTY));
}

TEST_F(SerialPortTest, OpensRaw8N1At9600WithoutFlowControl) {
  // On Linux, tcgetattr on the master reports the slave's settings.
  termios settings = masterView();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B9600));
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  EXPECT_EQ(settings.c_cc[VMIN], 0);
  EXPECT_EQ(settings.c_cc[VTIME], 0);
  EXPECT_TRUE(port_->isOpen());
}

TEST_F(SerialPortTest, SecondOpenOfAnExclusivePortIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "TIOCEXCL does not bind a process with CAP_SYS_ADMIN";
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(error, static_cast<ErrorCode>(EBUSY));
}

TEST_F(SerialPortTest, ClosingGivesUpTheExclusiveUse) {
  // The flag lives in the terminal, which a pseudo-terminal keeps while its
  // other end is open: left set, it would refuse every later open (but a
  // privileged one), so the port could never be reopened.
  port_->close();
  const int fd = ::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int exclusive = 1;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(fd);
  ErrorCode error = 0;
  EXPECT_NE(SerialPort::open(1, error), nullptr);
}

TEST_F(SerialPortTest, TimeoutsAreStoredAsSet) {
  SerialTimeouts timeouts{1, 1};
  ASSERT_EQ(port_->getTimeouts(timeouts), 0u);
  EXPECT_EQ(timeouts, (SerialTimeouts{0, 0}));
  ASSERT_EQ(port_->setTimeouts(SerialTimeouts{250, 100}), 0u);
  ASSERT_EQ(port_->getTimeouts(timeouts), 0u);
  EXPECT_EQ(timeouts, (SerialTimeouts{250, 100}));
}

TEST_F(SerialPortTest, BytesTravelBothWays) {
  setReadTimeout(2000);
  setWriteTimeout(1000);
  const std::uint8_t out[] = {'h', 'e', 'l', 'l', 'o', 0x00, 0xFF, 0x0D, 0x0A, 0x11, 0x13};
  std::size_t written = 0;
  ASSERT_EQ(port_->write(out, sizeof out, written), 0u);
  EXPECT_EQ(written, sizeof out);
  EXPECT_EQ(pty_.receive(sizeof out), std::string(reinterpret_cast<const char *>(out), sizeof out));

  const std::string in("\x1B" "abc\r\n\x00\xFF\x11\x13", 10);
  ASSERT_TRUE(pty_.send(in));
  for (char expected : in) {
    std::uint8_t byte = 0;
    ErrorCode error = 99;
    ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(byte, static_cast<std::uint8_t>(expected));
  }
}

TEST_F(SerialPortTest, ReadTimeOutIsHonouredToTheMillisecond) {
  for (std::uint32_t timeoutMs : {1u, 7u, 50u}) {
    setReadTimeout(timeoutMs);
    std::uint8_t byte = 0;
    ErrorCode error = 99;
    auto start = Clock::now();
    EXPECT_EQ(port_->readByte(byte, error), ReadStatus::TimedOut);
    double elapsed = elapsedMs(start);
    EXPECT_EQ(error, 0u);
    EXPECT_GE(elapsed, static_cast<double>(timeoutMs)) << "returned early for " << timeoutMs;
    EXPECT_LT(elapsed, timeoutMs + kPromptMs);
  }
}

TEST_F(SerialPortTest, ZeroTimeOutTakesOnlyWhatHasArrived) {
  setReadTimeout(0);
  std::uint8_t byte = 0;
  ErrorCode error = 99;
  auto start = Clock::now();
  EXPECT_EQ(port_->readByte(byte, error), ReadStatus::TimedOut);
  EXPECT_EQ(error, 0u);
  EXPECT_LT(elapsedMs(start), kPromptMs);

  ASSERT_TRUE(pty_.send("ZY"));
  setReadTimeout(2000);
  ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte);
  EXPECT_EQ(byte, 'Z');
  setReadTimeout(0);
  ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte);
  EXPECT_EQ(byte, 'Y');
  EXPECT_EQ(port_->readByte(byte, error), ReadStatus::TimedOut);
}

TEST_F(SerialPortTest, SpeedIsVisibleOnTheMasterSide) {
  const std::pair<int, speed_t> speeds[] = {
      {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {9600, B9600}};
  for (auto [bitsPerSecond, constant] : speeds) {
    ASSERT_EQ(port_->setSpeed(bitsPerSecond), 0u) << bitsPerSecond;
    termios settings = masterView();
    EXPECT_EQ(cfgetospeed(&settings), constant) << bitsPerSecond;
    EXPECT_EQ(cfgetispeed(&settings), constant) << bitsPerSecond;
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
  }
}

TEST_F(SerialPortTest, UnsupportedSpeedIsRefusedAndChangesNothing) {
  ASSERT_EQ(port_->setSpeed(57600), 0u);
  for (int bitsPerSecond : {0, -1, 4800, 12345, 230400}) {
    EXPECT_EQ(port_->setSpeed(bitsPerSecond), static_cast<ErrorCode>(EINVAL)) << bitsPerSecond;
  }
  termios settings = masterView();
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B57600));
}

TEST_F(SerialPortTest, ModemLinesOnAPseudoTerminalAreNotAnError) {
  EXPECT_EQ(port_->setRts(true), 0u);
  EXPECT_EQ(port_->setDtr(false), 0u);
  EXPECT_EQ(port_->setRts(false), 0u);
  EXPECT_EQ(port_->setDtr(true), 0u);
}

TEST_F(SerialPortTest, PurgeDropsPendingInput) {
  setReadTimeout(2000);
  // Both bytes arrive together; reading the first leaves the second pending.
  ASSERT_TRUE(pty_.send("AB"));
  std::uint8_t byte = 0;
  ErrorCode error = 0;
  ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte);
  EXPECT_EQ(byte, 'A');
  ASSERT_EQ(port_->purge(), 0u);
  setReadTimeout(30);
  EXPECT_EQ(port_->readByte(byte, error), ReadStatus::TimedOut);

  setReadTimeout(2000);
  ASSERT_TRUE(pty_.send("C"));
  ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte);
  EXPECT_EQ(byte, 'C');
}

TEST_F(SerialPortTest, CloseFromAnotherThreadWakesABlockedRead) {
  setReadTimeout(60000);
  std::atomic<pid_t> tid{0};
  ReadStatus status = ReadStatus::Byte;
  ErrorCode error = 0;
  double elapsed = 0;
  std::thread reader([&] {
    tid = currentTid();
    std::uint8_t byte = 0;
    auto start = Clock::now();
    status = port_->readByte(byte, error);
    elapsed = elapsedMs(start);
  });
  while (tid == 0) std::this_thread::yield();
  EXPECT_TRUE(platform_test::waitUntilBlocked(tid));
  port_->close();
  reader.join();
  EXPECT_EQ(status, ReadStatus::Failed);
  EXPECT_EQ(error, static_cast<ErrorCode>(EBADF));
  EXPECT_LT(elapsed, kPromptMs);
  EXPECT_FALSE(port_->isOpen());
}

TEST_F(SerialPortTest, CallsAfterCloseFailAtOnceWithEBADF) {
  setReadTimeout(60000);
  setWriteTimeout(60000);
  port_->close();
  port_->close();  // idempotent
  EXPECT_FALSE(port_->isOpen());
  std::uint8_t byte = 0;
  ErrorCode error = 0;
  auto start = Clock::now();
  EXPECT_EQ(port_->readByte(byte, error), ReadStatus::Failed);
  EXPECT_EQ(error, static_cast<ErrorCode>(EBADF));
  std::size_t written = 7;
  EXPECT_EQ(port_->write(&byte, 1, written), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(written, 0u);
  EXPECT_LT(elapsedMs(start), kPromptMs);
  EXPECT_EQ(port_->setSpeed(9600), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(port_->purge(), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(port_->setRts(true), static_cast<ErrorCode>(EBADF));
  SerialTimeouts timeouts;
  EXPECT_EQ(port_->getTimeouts(timeouts), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(port_->setTimeouts(timeouts), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(reader::platform::invalidPortError(), static_cast<ErrorCode>(EBADF));
}

TEST_F(SerialPortTest, WriteTimeOutReturnsThePartialCount) {
  setWriteTimeout(50);
  // The master never reads, so the pty's buffers fill up.
  std::vector<std::uint8_t> block(1 << 20, 0x55);
  std::size_t written = 0;
  auto start = Clock::now();
  EXPECT_EQ(port_->write(block.data(), block.size(), written), 0u);
  double elapsed = elapsedMs(start);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, block.size());
  EXPECT_GE(elapsed, 50.0);
  EXPECT_LT(elapsed, 50 + kPromptMs);
}

TEST_F(SerialPortTest, CloseFromAnotherThreadWakesABlockedWrite) {
  setWriteTimeout(60000);
  std::vector<std::uint8_t> block(1 << 20, 0x55);
  std::atomic<pid_t> tid{0};
  ErrorCode result = 0;
  std::size_t written = 0;
  double elapsed = 0;
  std::thread writer([&] {
    tid = currentTid();
    auto start = Clock::now();
    result = port_->write(block.data(), block.size(), written);
    elapsed = elapsedMs(start);
  });
  while (tid == 0) std::this_thread::yield();
  EXPECT_TRUE(platform_test::waitUntilBlocked(tid));
  port_->close();
  writer.join();
  EXPECT_EQ(result, static_cast<ErrorCode>(EBADF));
  EXPECT_LT(written, block.size());
  EXPECT_LT(elapsed, kPromptMs);
}

TEST_F(SerialPortTest, HangUpFailsABlockedReadPromptly) {
  setReadTimeout(60000);
  std::atomic<pid_t> tid{0};
  ReadStatus status = ReadStatus::Byte;
  ErrorCode error = 0;
  double elapsed = 0;
  std::thread reader([&] {
    tid = currentTid();
    std::uint8_t byte = 0;
    auto start = Clock::now();
    status = port_->readByte(byte, error);
    elapsed = elapsedMs(start);
  });
  while (tid == 0) std::this_thread::yield();
  EXPECT_TRUE(platform_test::waitUntilBlocked(tid));
  pty_.closeMaster();
  reader.join();
  EXPECT_EQ(status, ReadStatus::Failed);
  EXPECT_EQ(error, static_cast<ErrorCode>(EIO));
  EXPECT_LT(elapsed, kPromptMs);
}

TEST_F(SerialPortTest, AfterHangUpReadsAndWritesFail) {
  setReadTimeout(60000);
  setWriteTimeout(1000);
  pty_.closeMaster();
  std::uint8_t byte = 0;
  ErrorCode error = 0;
  auto start = Clock::now();
  EXPECT_EQ(port_->readByte(byte, error), ReadStatus::Failed);
  EXPECT_NE(error, 0u);
  EXPECT_LT(elapsedMs(start), kPromptMs);
  std::size_t written = 0;
  EXPECT_NE(port_->write(&byte, 1, written), 0u);
  EXPECT_EQ(written, 0u);
}

TEST_F(SerialPortTest, OneReaderAndOneWriterAtOnce) {
  setReadTimeout(2000);
  setWriteTimeout(2000);
  constexpr std::size_t kBytes = 20000;
  // The device echoes nothing; it sends a counting pattern while the port
  // sends another, each side on its own thread.
  std::thread device([&] {
    std::string pattern;
    for (std::size_t i = 0; i < kBytes; ++i) pattern += static_cast<char>(i % 251);
    std::size_t sent = 0;
    std::string received;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((sent < kBytes || received.size() < kBytes) && Clock::now() < deadline) {
      if (sent < kBytes) {
        ssize_t put = ::write(pty_.master(), pattern.data() + sent, std::min<std::size_t>(512, kBytes - sent));
        if (put > 0) sent += static_cast<std::size_t>(put);
      }
      char buffer[4096];
      ssize_t got = ::read(pty_.master(), buffer, sizeof buffer);
      if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
      if (got <= 0 && sent >= kBytes) std::this_thread::yield();
    }
    EXPECT_EQ(received.size(), kBytes);
    for (std::size_t i = 0; i < received.size(); ++i) {
      if (static_cast<std::uint8_t>(received[i]) != (i * 7) % 256) {
        ADD_FAILURE() << "device received a wrong byte at " << i;
        break;
      }
    }
  });
  std::thread writer([&] {
    std::vector<std::uint8_t> block(kBytes);
    for (std::size_t i = 0; i < kBytes; ++i) block[i] = static_cast<std::uint8_t>((i * 7) % 256);
    std::size_t done = 0;
    while (done < kBytes) {
      std::size_t written = 0;
      std::size_t chunk = std::min<std::size_t>(100, kBytes - done);
      ASSERT_EQ(port_->write(block.data() + done, chunk, written), 0u);
      done += written;
    }
  });
  for (std::size_t i = 0; i < kBytes; ++i) {
    std::uint8_t byte = 0;
    ErrorCode error = 0;
    ASSERT_EQ(port_->readByte(byte, error), ReadStatus::Byte) << "at " << i;
    ASSERT_EQ(byte, i % 251) << "at " << i;
  }
  writer.join();
  device.join();
}

}  // namespace
