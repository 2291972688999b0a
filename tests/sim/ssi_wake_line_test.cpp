// The SSI engine's wake line: what the engine notices of it, and how its
// traffic log marks the packets that arrived while the host held it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host_port.h"
#include "readersim/ssi_engine.h"

namespace readersim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using testing::HostPort;
using testing::kTimeout;

Bytes revisionRequest() { return ssi::makePacket(ssi::kOpcodeRevisionRequest, ssi::kSourceHost, 0); }

// The wake flag of every packet the engine received, in order.
std::vector<bool> wakeFlags(const SsiEngine &engine) {
  std::vector<bool> flags;
  for (const TrafficRecord &record : engine.log().snapshot())
    if (record.isFrame()) flags.push_back(record.has(traffic_flag::kWakeAsserted));
  return flags;
}

bool becomes(const SsiEngine &engine, bool awake) {
  const auto deadline = std::chrono::steady_clock::now() + kTimeout;
  while (engine.awake() != awake) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(SsiWakeLine, PacketsWrittenBeforeAReleaseArrivedAssertedAndNoneAreMarkedBeforeTheLineIsDriven) {
  SsiEngine engine;
  HostPort host(engine.portPath(), 9600);
  ASSERT_TRUE(host.write(revisionRequest()));
  ASSERT_FALSE(host.readSsiPacket().empty());

  engine.setWakeLine(true);
  ASSERT_TRUE(host.write(revisionRequest()));
  // Released at once, before the engine's thread has looked at the line:
  // the bytes already written still count as sent under the asserted line.
  engine.setWakeLine(false);
  ASSERT_FALSE(host.readSsiPacket().empty());

  ASSERT_TRUE(host.write(revisionRequest()));
  ASSERT_FALSE(host.readSsiPacket().empty());
  EXPECT_EQ(wakeFlags(engine), (std::vector<bool>{false, true, false}));
}

TEST(SsiWakeLine, AwakeFollowsTheLineAtOnceByDefaultAndNeverWhenTheEngineDoesNotNotice) {
  SsiEngine engine;
  EXPECT_FALSE(engine.awake());
  engine.setWakeLine(true);
  EXPECT_TRUE(engine.wakeLineAsserted());
  EXPECT_TRUE(engine.awake());
  engine.setWakeLine(false);
  EXPECT_FALSE(engine.awake());

  SsiEngine::Options options;
  options.wakeNoticeDelay = std::nullopt;
  SsiEngine deaf(options);
  deaf.setWakeLine(true);
  EXPECT_TRUE(deaf.wakeLineAsserted());
  EXPECT_FALSE(deaf.awake());
}

TEST(SsiWakeLine, EachChangeIsNoticedAfterTheNoticeDelay) {
  constexpr auto kDelay = 400ms;
  SsiEngine::Options options;
  options.wakeNoticeDelay = kDelay;
  SsiEngine engine(options);

  auto changed = std::chrono::steady_clock::now();
  engine.setWakeLine(true);
  bool awake = engine.awake();
  // Only a look within the delay says anything (a loaded machine may pause
  // this thread longer).
  if (std::chrono::steady_clock::now() - changed < kDelay) {
    EXPECT_FALSE(awake);
  }
  EXPECT_TRUE(becomes(engine, true));

  changed = std::chrono::steady_clock::now();
  engine.setWakeLine(false);
  awake = engine.awake();
  if (std::chrono::steady_clock::now() - changed < kDelay) {
    EXPECT_TRUE(awake);
  }
  EXPECT_TRUE(becomes(engine, false));
}

}  // namespace
}  // namespace readersim
