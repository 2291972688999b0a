// Simulated terminals for tests of the whole library, and what tests ask of
// them: the frames each device received, the threads of the process.
#pragma once

#include <readersim/readersim.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

using namespace std::chrono_literals;

// A generous bound for waits that normally end at once.
inline constexpr std::chrono::milliseconds kPatience = 30s;

// Builds a terminal and applies its environment to the process.
std::unique_ptr<readersim::Terminal> startTerminal(const readersim::TerminalConfig &config);

// A terminal of the given kinds with an SSI engine already at its working
// speed (so that starts are quick), the model derived from the module.
readersim::TerminalConfig quickConfig(int engineKind, int moduleKind);

// Clears every READER_* variable the library reads.
void clearReaderEnvironment();

// Threads of this process right now.
int threadCount();

// Threads of this process once they are at most `expected`, or after
// `patience`. A thread just joined can still be listed for a moment: under
// qemu-user for a good while, as the emulator ends the joiner's wait before
// its own thread for the joined one has gone.
int threadCountAtMost(int expected, std::chrono::milliseconds patience = std::chrono::seconds(10));

// Frames received by a device as it framed them (ignored and garbled ones
// included), with their host speeds.
struct ReceivedFrame {
  std::vector<std::uint8_t> bytes;
  int hostSpeed = 0;
  bool garbled = false;
  std::string text() const { return {bytes.begin(), bytes.end()}; }
};
std::vector<ReceivedFrame> receivedFrames(const readersim::PtyDevice &device);

// The text command inside a text-engine frame ("VER", "SET", ...).
std::string textEngineCommand(const ReceivedFrame &frame);

// The opcode of an SSI packet frame, 0 for anything else.
std::uint8_t ssiOpcode(const ReceivedFrame &frame);

}  // namespace testing_support
