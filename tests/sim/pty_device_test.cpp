// What every simulated device shares: the host's port state, line speeds
// and vanishing. Driven through a kind-5 module, whose one-letter commands
// make short exchanges.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "host_port.h"
#include "readersim/ascii_module.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

TEST(PtyDevice, NoticesTheHostOpeningClosingAndReopeningThePort) {
  AsciiModule module;
  EXPECT_FALSE(module.hostOpen());
  {
    HostPort host(module.portPath(), 9600);
    ASSERT_TRUE(module.waitForHostOpenCount(1, kTimeout));
    EXPECT_TRUE(module.hostOpen());
  }
  ASSERT_TRUE(module.waitForHostCloseCount(1, kTimeout));
  EXPECT_FALSE(module.hostOpen());
  HostPort again(module.portPath(), 9600);
  ASSERT_TRUE(module.waitForHostOpenCount(2, kTimeout));
  EXPECT_EQ(module.hostCloseCount(), 1);
}

TEST(PtyDevice, NoiseAtAnotherSpeedAndFramesWhileSilentGetNoAnswer) {
  AsciiModule module;  // 9600
  HostPort host(module.portPath(), 115200);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(
      module.log().waitForCount([](const TrafficRecord &r) { return r.has(traffic_flag::kGarbled); }, 1, kTimeout));
  host.setSpeed(9600);
  module.setSilent(true);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.waitForFrames(1, kTimeout));  // recorded, not acted upon
  module.setSilent(false);
  ASSERT_TRUE(host.write("rp0a"));
  EXPECT_EQ(host.readUntil('\n'), "01\r\n");                              // the first answer is the last command's
  EXPECT_EQ(module.commands(), (std::vector<std::string>{"v", "rp0a"}));  // not the noise
}

TEST(PtyDevice, VanishHangsUpTheHost) {
  AsciiModule module;
  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(module.waitForHostOpenCount(1, kTimeout));
  module.vanish();
  EXPECT_TRUE(host.waitForHangUp());
  char byte;
  ssize_t n = ::read(host.fd(), &byte, 1);
  EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n;
  EXPECT_FALSE(host.write("v"));
  EXPECT_EQ(errno, EIO);
}

// Tests run side by side in many processes: a device that vanished before
// the host ever opened it must not hand its path to another process's new
// device while a host may still try that path.
TEST(PtyDevice, AVanishedDevicesPathIsGoneAndNotReusedWhileTheDeviceLives) {
  AsciiModule module;
  const std::string path = module.portPath();
  module.vanish();
  ASSERT_TRUE(module.vanished());
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
  std::vector<std::unique_ptr<AsciiModule>> others;
  for (int i = 0; i < 4; ++i) {
    others.push_back(std::make_unique<AsciiModule>());
    EXPECT_NE(others.back()->portPath(), path);
  }
}

TEST(PtyDevice, DestructionHangsUpTheHostPromptlyWhileAFrameIsPending) {
  auto module = std::make_unique<AsciiModule>();
  HostPort host(module->portPath(), 9600);
  ASSERT_TRUE(module->waitForHostOpenCount(1, kTimeout));
  ASSERT_TRUE(host.write("l01FFFF"));  // complete only after a silence
  module.reset();
  EXPECT_TRUE(host.waitForHangUp());
}

}  // namespace
}  // namespace readersim
