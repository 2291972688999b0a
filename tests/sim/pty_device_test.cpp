// What every simulated device shares: the host's port state, line speeds,
// and the fault controls. Driven through a kind-5 module, whose one-letter
// commands make short exchanges.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "host_port.h"
#include "readersim/ascii_module.h"
#include "readersim/hex_text.h"
#include "readersim/text_engine.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

bool isGarbled(const TrafficRecord &r) { return r.has(traffic_flag::kGarbled); }
bool isNotSent(const TrafficRecord &r) { return r.has(traffic_flag::kNotSent); }

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

  auto records = module.log().snapshot();
  std::vector<RecordType> events;
  for (const auto &r : records) events.push_back(r.type);
  EXPECT_EQ(events, (std::vector<RecordType>{RecordType::HostOpened, RecordType::HostClosed, RecordType::HostOpened}));
}

TEST(PtyDevice, ReadsTheHostSpeedThroughTheMaster) {
  AsciiModule module;
  HostPort host(module.portPath(), 19200);
  EXPECT_EQ(module.hostSpeed(), 19200);
  host.setSpeed(115200);
  EXPECT_EQ(module.hostSpeed(), 115200);
}

TEST(PtyDevice, BytesAtAnotherSpeedAreNoiseAndGetNoAnswer) {
  AsciiModule module;  // 9600
  HostPort host(module.portPath(), 115200);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.log().waitForCount(isGarbled, 1, kTimeout));
  host.setSpeed(9600);
  ASSERT_TRUE(host.write("v"));
  // The first answer to arrive is the one to the second "v".
  EXPECT_EQ(host.readUntil('\n'), "MultiISO 1.0\r\n");
  EXPECT_EQ(module.commands(), (std::vector<std::string>{"v"}));
  auto garbled = module.log().snapshot()[1];
  EXPECT_EQ(garbled.hostSpeed, 115200);
  EXPECT_EQ(garbled.deviceSpeed, 9600);
}

TEST(PtyDevice, AnAnswerDueWhileTheHostListensAtAnotherSpeedIsNotSent) {
  AsciiModule module;
  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(host.write("s"));
  ASSERT_TRUE(module.waitForFrames(1, kTimeout));
  host.setSpeed(57600);
  module.presentTag("E0123456789ABCDEF");
  ASSERT_TRUE(module.log().waitForCount(isNotSent, 1, kTimeout));
  // Back at the module's speed, the next answer is the first to arrive.
  host.setSpeed(9600);
  ASSERT_TRUE(host.write("rp0a"));
  EXPECT_EQ(host.readUntil('\n'), "01\r\n");
}

TEST(PtyDevice, SilentDeviceRecordsButNeverAnswers) {
  AsciiModule module;
  HostPort host(module.portPath(), 9600);
  module.setSilent(true);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.waitForFrames(1, kTimeout));
  module.setSilent(false);
  module.silenceNext(1);
  ASSERT_TRUE(host.write("rp0a"));
  ASSERT_TRUE(host.write("rp0b"));
  EXPECT_EQ(host.readUntil('\n'), "00\r\n");  // only "rp0b" was answered
  auto records = module.log().snapshot();
  int ignored = 0;
  for (const auto &r : records) ignored += r.has(traffic_flag::kIgnored) ? 1 : 0;
  EXPECT_EQ(ignored, 2);
}

TEST(PtyDevice, InjectedBytesReachAnOpenHostAndAreNotQueuedForAClosedOne) {
  AsciiModule module;
  {
    HostPort host(module.portPath(), 115200);  // injected bytes ignore speeds
    ASSERT_TRUE(module.waitForHostOpenCount(1, kTimeout));
    module.injectText("MultiIS");
    EXPECT_EQ(host.read(7), bytesOf("MultiIS"));
  }
  ASSERT_TRUE(module.waitForHostCloseCount(1, kTimeout));
  module.injectText("stale");
  auto last = module.log().snapshot().back();
  EXPECT_TRUE(last.has(traffic_flag::kInjected | traffic_flag::kNotSent));

  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(host.write("v"));
  EXPECT_EQ(host.readUntil('\n'), "MultiISO 1.0\r\n");
}

TEST(PtyDevice, VanishHangsUpTheHost) {
  AsciiModule module;
  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(module.waitForHostOpenCount(1, kTimeout));
  module.vanish();
  EXPECT_TRUE(module.vanished());
  EXPECT_TRUE(host.waitForHangUp());
  std::uint8_t byte;
  ssize_t n = ::read(host.fd(), &byte, 1);
  EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n;
  EXPECT_FALSE(host.write("v"));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(module.log().snapshot().back().type, RecordType::Vanished);
}

TEST(PtyDevice, PacedAnswersArriveWhole) {
  TextEngine engine;
  engine.setPacing(true);
  EXPECT_TRUE(engine.pacing());
  HostPort host(engine.portPath(), 115200);
  ASSERT_TRUE(host.write(std::string(30, '\xFF') + "\x1BSET\r"));
  auto answer = host.readUntil('\r');
  EXPECT_EQ(answer.size(), 2 + 2 * TextEngine::kDefaultBlockLength);
}

TEST(PtyDevice, DestroysPromptlyWhileTheHostHoldsThePortOpen) {
  auto module = std::make_unique<AsciiModule>();
  HostPort host(module->portPath(), 9600);
  ASSERT_TRUE(module->waitForHostOpenCount(1, kTimeout));
  ASSERT_TRUE(host.write("l01FFFF"));  // pending until 5 ms of silence
  module.reset();
  EXPECT_TRUE(host.waitForHangUp());
}

}  // namespace
}  // namespace readersim
