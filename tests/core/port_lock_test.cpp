// The port lock as a token: one holder at a time, handed on by a move
// without being given up twice, and never taken again by its holder.
#include "core/port_lock.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <utility>

#include "core/device_channel.h"

namespace {

using reader::DeviceChannel;
using reader::PortLock;

bool freeForAnotherThread(DeviceChannel &channel) {
  bool taken = false;
  std::thread other([&] { taken = PortLock::take(channel, PortLock::Mode::TryOnly).has_value(); });
  other.join();
  return taken;
}

TEST(PortLockTest, OneHolderAtATimeAndAMovedTokenGivesTheLockUpOnce) {
  DeviceChannel channel;
  {
    std::optional<PortLock> first = PortLock::take(channel);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(freeForAnotherThread(channel));
    std::optional<PortLock> moved(std::move(*first));
    first.reset();  // the moved-from token holds nothing to give up
    EXPECT_FALSE(freeForAnotherThread(channel));
  }
  EXPECT_TRUE(freeForAnotherThread(channel));
  // Given up once: it can be taken, and is held again, exactly once more.
  std::optional<PortLock> again = PortLock::take(channel, PortLock::Mode::TryOnly);
  ASSERT_TRUE(again.has_value());
  EXPECT_FALSE(freeForAnotherThread(channel));
}

#ifndef NDEBUG
TEST(PortLockDeathTest, ItsHolderTakingItAgainStopsInsteadOfWaitingForEver) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        DeviceChannel channel;
        const auto held = PortLock::take(channel);
        const auto again = PortLock::take(channel);
      },
      "not re-entrant");
}
#endif

}  // namespace
