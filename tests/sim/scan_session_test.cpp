// The session limit of a barcode engine: a scan the host switched on and
// never off ends on its own once it has had nothing to send for that long,
// so a barcode coming into view later waits for the next switch-on instead
// of being sent to a host that is not reading.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "host_port.h"
#include "readersim/barcode.h"
#include "readersim/ssi_engine.h"

namespace readersim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::HostPort;
using testing::kTimeout;

Bytes startDecode() { return ssi::makePacket(ssi::kOpcodeStartDecode, ssi::kSourceHost, 0); }

// Polls a condition that the engine's own thread makes true; false when it
// did not hold within the test's patience.
bool eventually(const std::function<bool()> &done) {
  const auto deadline = std::chrono::steady_clock::now() + kTimeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(ScanSession, AnEmptySessionEndsAtItsLimitButADecodeDueIsStillSent) {
  SsiEngine engine;  // kind 3 at 9600
  HostPort host(engine.portPath(), 9600);
  engine.setSessionLimit(std::chrono::milliseconds(50));

  // Nothing in view: the session ends, and a barcode shown afterwards stays
  // in view, untaken, until the host switches on again.
  ASSERT_TRUE(host.write(startDecode()));
  ASSERT_TRUE(engine.waitForAnswers(1, kTimeout));
  ASSERT_TRUE(eventually([&] { return !engine.scanning() && !engine.cycleOpen(); }));
  engine.presentBarcode(barcodeOf("code39:LATE"));
  EXPECT_EQ(engine.presented().size(), 1u);
  EXPECT_EQ(engine.decodesSent(), 0u);
  ASSERT_TRUE(host.write(startDecode()));
  ASSERT_TRUE(engine.waitForAnswers(3, kTimeout));  // the acknowledgement, then the decode
  EXPECT_EQ(engine.decodesSent(), 1u);

  // A decode slower than the limit is not cut off by it.
  engine.setDecodeDelay(std::chrono::milliseconds(200));
  engine.presentBarcode(barcodeOf("code39:SLOW"));
  ASSERT_TRUE(host.write(startDecode()));
  ASSERT_TRUE(engine.waitForAnswers(5, kTimeout));
  EXPECT_EQ(engine.decodesSent(), 2u);
  EXPECT_EQ(engine.decodesDropped(), 0u);
}

}  // namespace
}  // namespace readersim
