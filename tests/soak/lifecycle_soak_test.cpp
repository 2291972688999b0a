// Long runs of InitReader and HaltReader on one simulated terminal: every
// start finds the same devices and still scans, and memory, descriptors and
// threads stay flat (the worker threads are started once and reused).
//
// A start with an engine costs far more than one with a module alone (the
// engine is identified and set up on every start), so most cycles use a
// module-only terminal and fewer an engine and a module. Counts come from
// SOAK_INIT_MODULE_CYCLES and SOAK_INIT_ENGINE_CYCLES.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>

#include "soak/announcement_counter.h"
#include "soak/process_figures.h"
#include "soak/simulator_process.h"
#include "support/test_terminal.h"

using namespace soak_testing;
using testing_support::kPatience;

namespace {

using Clock = std::chrono::steady_clock;

struct LifecycleRun {
  const char *name;
  int engineKind;
  int moduleKind;
  int readerType;
  const char *countVariable;
  long defaultCycles;
};

std::string runName(const ::testing::TestParamInfo<LifecycleRun> &info) { return info.param.name; }
// Names the run in test listings instead of its bytes.
void PrintTo(const LifecycleRun &run, std::ostream *out) { *out << run.name; }

// One trigger press read to its announcement: the start left a reader that
// works, not only one that reports success.
bool tagCycle(SimulatorProcess &simulator, AnnouncementCounter &announcements, long cycle) {
  char uid[16];
  std::snprintf(uid, sizeof uid, "04%06lX", cycle & 0xFFFFFF);
  if (!simulator.replaceTag(std::string("mifare:") + uid)) return false;
  const long target = announcements.rfid() + 1;
  ReaderHostTriggerKey(1, 1);
  const bool arrived = AnnouncementCounter::dispatchUntil([&] { return announcements.rfid(); }, target, kPatience);
  ReaderHostTriggerKey(1, 0);
  ReaderHostDispatch(0);
  char got[32] = {};
  return arrived && GetDecodeRfidUID(got, sizeof got) > 0 && std::string(got) == uid;
}

class LifecycleSoak : public ::testing::TestWithParam<LifecycleRun> {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
};

}  // namespace

TEST_P(LifecycleSoak, StartsAndHaltsWithoutGrowth) {
  const LifecycleRun run = GetParam();
  const long cycles = countFromEnvironment(run.countVariable, run.defaultCycles);
  const long checkpointAt = std::max(1L, cycles / 10);
  constexpr long kScanEvery = 10;

  SimulatorProcess simulator(testing_support::quickConfig(run.engineKind, run.moduleKind));
  AnnouncementCounter announcements;
  ProcessFigures checkpoint;
  long scans = 0;
  const auto startedAt = Clock::now();

  for (long cycle = 1; cycle <= cycles; ++cycle) {
    ASSERT_EQ(InitReader(), READER_OK) << "cycle " << cycle;
    ASSERT_EQ(GetReaderType(), run.readerType) << "cycle " << cycle;
    if (cycle == 1) {
      ASSERT_EQ(SetTriggerKey(1), 1);
      report(run.name, "start", ProcessFigures::now());
    }
    if (cycle % kScanEvery == 1) {
      ASSERT_TRUE(tagCycle(simulator, announcements, cycle)) << "cycle " << cycle;
      ++scans;
    }
    ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK) << "cycle " << cycle;
    AnnouncementCounter::drain();
    if (cycle == checkpointAt) {
      checkpoint = ProcessFigures::now();
      report(run.name, "checkpoint@" + std::to_string(cycle), checkpoint);
    }
  }
  const ProcessFigures end = ProcessFigures::now();
  const double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();
  report(run.name, "end@" + std::to_string(cycles), end);
  char line[200];
  std::snprintf(line, sizeof line, "cycles=%ld tag_scans=%ld announced=%ld seconds=%.1f ms_per_cycle=%.1f", cycles,
                scans, announcements.rfid(), seconds, seconds * 1000.0 / cycles);
  reportLine(run.name, line);

  EXPECT_EQ(announcements.rfid(), scans);
  EXPECT_EQ(announcements.barcode(), 0);
  EXPECT_EQ(growthBeyond(checkpoint, end, Tolerance{}), "");
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, LifecycleSoak,
    ::testing::Values(LifecycleRun{"InitHaltModuleOnly", 0, 6, READER_TYPE_HEX_MODULE, "SOAK_INIT_MODULE_CYCLES", 900},
                      LifecycleRun{"InitHaltEngineAndModule", 3, 6, READER_TYPE_SSI_ENGINE_3 | READER_TYPE_HEX_MODULE,
                                   "SOAK_INIT_ENGINE_CYCLES", 100}),
    runName);
