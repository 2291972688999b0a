// The platform clock for the simulator-backed targets: sleeps return at
// once. The library's fixed pauses (the SSI engines' wake line around every
// packet, the ASCII module's wake-up after its port opens, the pause between
// two detections) wait for real hardware; the simulated devices need none,
// and skipping them raises the rate of inputs many times. Time-outs still
// run on the ports in real time. Linked ahead of the library, these stand in
// for the backend's clock file.
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace reader::platform {

void sleepMs(std::uint32_t) { std::this_thread::yield(); }

std::uint64_t monotonicMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace reader::platform
