// A device that stops taking bytes: writes to a port whose output queue is
// full. The write time-out bounds them, what the port took arrives whole and
// in order, and a close or a hang-up ends a write that waits for room.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/serial_port.h"

namespace {

using namespace platform_test;
using namespace reader::platform;

// Far more than any pseudo-terminal queues while nobody reads the master.
constexpr std::size_t kFlood = 4 * 1024 * 1024;

std::vector<std::uint8_t> numbered(std::size_t n) {
  std::vector<std::uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i % 251);
  return out;
}

class SerialPortFullQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ErrorCode error = 0;
    port_ = SerialPort::open(1, error);
    ASSERT_NE(port_, nullptr) << "error " << error;
  }

  void setWriteTimeout(std::uint32_t ms) {
    SerialTimeouts timeouts;
    ASSERT_EQ(port_->getTimeouts(timeouts), 0u);
    timeouts.writeTotalMs = ms;
    ASSERT_EQ(port_->setTimeouts(timeouts), 0u);
  }

  // A write that cannot finish, on its own thread, seen waiting for room;
  // it must then end promptly once `wake` has run.
  ErrorCode blockedWriteEndedBy(const std::function<void()> &wake) {
    setWriteTimeout(600000);
    const std::vector<std::uint8_t> data = numbered(kFlood);
    ErrorCode result = 0;
    std::size_t written = 0;
    BlockingCall writer([&] { result = port_->write(data.data(), data.size(), written); });
    EXPECT_TRUE(writer.blocked());
    wake();
    EXPECT_LT(writer.finish(), kPromptMs);
    EXPECT_LT(written, data.size());
    return result;
  }

  Pty pty_;
  ScopedEnv env_{"READER_COM1", pty_.slavePath().c_str()};
  std::shared_ptr<SerialPort> port_;
};

TEST_F(SerialPortFullQueueTest, ATimedOutWriteSucceedsWithTheShorterCountAndItsBytesArriveWhole) {
  // 0 takes what fits at once; a time-out waits for room, then gives up.
  for (std::uint32_t timeoutMs : {0u, 100u}) {
    SCOPED_TRACE(timeoutMs);
    setWriteTimeout(timeoutMs);
    const std::vector<std::uint8_t> data = numbered(kFlood);
    std::size_t written = 12345;
    EXPECT_EQ(port_->write(data.data(), data.size(), written), 0u);
    ASSERT_LT(written, data.size());
    ASSERT_GT(written, 0u);
    // Exactly the first `written` bytes, none lost, none doubled.
    const std::string received = pty_.receive(written);
    ASSERT_EQ(received.size(), written);
    EXPECT_TRUE(std::equal(received.begin(), received.end(), data.begin(),
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
  }
}

TEST_F(SerialPortFullQueueTest, ACloseEndsAWriteWaitingForRoom) {
  EXPECT_EQ(blockedWriteEndedBy([this] { port_->close(); }), static_cast<ErrorCode>(EBADF));
  std::size_t written = 7;
  const std::uint8_t byte = 0x55;
  EXPECT_EQ(port_->write(&byte, 1, written), static_cast<ErrorCode>(EBADF));
  EXPECT_EQ(written, 0u);
}

TEST_F(SerialPortFullQueueTest, AHangUpFailsAWriteWaitingForRoom) {
  // The device end goes away with the queue full: a failure, not success.
  EXPECT_NE(blockedWriteEndedBy([this] { pty_.closeMaster(); }), 0u);
}

}  // namespace
