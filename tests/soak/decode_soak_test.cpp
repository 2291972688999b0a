// Long runs of trigger-driven scans and tag reads at full speed (simulators
// without pacing), one device kind per test: every decode the simulator sent
// is announced exactly once and its data is the one queried, and memory,
// descriptors and threads stay flat from an early checkpoint to the end.
//
// Cycle counts come from the environment (SOAK_KIND2_CYCLES, ...), the
// defaults being the full run; scripts/soak.sh runs them and collects the
// "SOAK" lines they print.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

constexpr int kTriggerModeByte = 78;

struct SoakRun {
  const char *name;
  int engineKind;
  int moduleKind;
  const char *countVariable;
  long defaultCycles;
};

std::string runName(const ::testing::TestParamInfo<SoakRun> &info) { return info.param.name; }
// Names the run in test listings instead of its bytes.
void PrintTo(const SoakRun &run, std::ostream *out) { *out << run.name; }

// A decode or a tag that no earlier cycle had, so that a stale or repeated
// result cannot pass for the new one.
std::string barcodeData(int kind, long cycle) {
  char text[32];
  std::snprintf(text, sizeof text, "K%dC%09ld", kind, cycle);
  return text;
}
std::string tagUid(int moduleKind, long cycle) {
  char text[32];
  if (moduleKind == 5)
    std::snprintf(text, sizeof text, "E00401%010lX", cycle);  // Icode
  else
    std::snprintf(text, sizeof text, "04%06lX", cycle & 0xFFFFFF);  // ISO 14443 type A
  return text;
}

std::string query(int (*get)(char *, int)) {
  char buffer[128] = {};
  const int n = get(buffer, sizeof buffer);
  return n < 0 ? "<error " + std::to_string(n) + ">" : std::string(buffer, static_cast<std::size_t>(n));
}

class DecodeSoak : public ::testing::TestWithParam<SoakRun> {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
};

}  // namespace

TEST_P(DecodeSoak, EveryDecodeIsAnnouncedOnceAndNothingGrows) {
  const SoakRun run = GetParam();
  const bool barcode = run.engineKind != 0;
  const long cycles = countFromEnvironment(run.countVariable, run.defaultCycles);
  const long checkpointAt = std::max(1L, cycles / 10);

  SimulatorProcess simulator(testing_support::quickConfig(run.engineKind, run.moduleKind));
  AnnouncementCounter announcements;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  if (run.engineKind == 2) {
    // The engine leaves the factory triggering itself; here the trigger scans.
    std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
    ASSERT_EQ(GetReaderSettings(record.data()), 1);
    record[kTriggerModeByte] = 0;
    ASSERT_EQ(SetReaderSettings(record.data()), 1);
  }
  auto announced = [&] { return barcode ? announcements.barcode() : announcements.rfid(); };
  const SentCounts before = simulator.counts();
  const long announcedBefore = announced();

  const ProcessFigures start = ProcessFigures::now();
  report(run.name, "start", start);
  ProcessFigures checkpoint;
  const auto startedAt = Clock::now();
  auto checkpointTime = startedAt;

  for (long cycle = 1; cycle <= cycles; ++cycle) {
    const std::string expected = barcode ? barcodeData(run.engineKind, cycle) : tagUid(run.moduleKind, cycle);
    const bool placed = barcode ? simulator.presentBarcode("code128:" + expected)
                                : simulator.replaceTag((run.moduleKind == 5 ? "icode:" : "mifare:") + expected);
    ASSERT_TRUE(placed) << "cycle " << cycle;

    const long target = announcedBefore + cycle;
    ReaderHostTriggerKey(1, 1);
    const bool arrived = AnnouncementCounter::dispatchUntil(announced, target, kPatience);
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
    ASSERT_TRUE(arrived) << "cycle " << cycle << ": no announcement";
    ASSERT_EQ(announced(), target) << "cycle " << cycle << ": announced more than once";
    ASSERT_EQ(query(barcode ? &GetDecodeData : &GetDecodeRfidUID), expected) << "cycle " << cycle;

    if (cycle == checkpointAt) {
      checkpoint = ProcessFigures::now();
      checkpointTime = Clock::now();
      report(run.name, "checkpoint@" + std::to_string(cycle), checkpoint);
    }
  }
  const ProcessFigures end = ProcessFigures::now();
  const double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();
  report(run.name, "end@" + std::to_string(cycles), end);

  // Whatever a cycle still had on its way is out once the devices are closed.
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  AnnouncementCounter::drain();
  const SentCounts after = simulator.counts();
  const long sent = barcode ? after.decodes - before.decodes : after.tagsReported - before.tagsReported;
  const long got = announced() - announcedBefore;
  char line[256];
  std::snprintf(line, sizeof line, "cycles=%ld sent=%ld announced=%ld acknowledged=%ld seconds=%.1f ms_per_cycle=%.3f",
                cycles, sent, got, after.acknowledged - before.acknowledged, seconds, seconds * 1000.0 / cycles);
  reportLine(run.name, line);

  EXPECT_EQ(sent, cycles);
  EXPECT_EQ(got, cycles);
  EXPECT_EQ(announcements.other(), 0);
  if (run.engineKind == 3 || run.engineKind == 4) {
    EXPECT_EQ(after.acknowledged - before.acknowledged, sent);
  }
  EXPECT_EQ(growthBeyond(checkpoint, end, Tolerance{}), "")
      << "over " << (cycles - checkpointAt) << " cycles, "
      << std::chrono::duration<double>(Clock::now() - checkpointTime).count() << " s";
}

// The distribution of the 100,000 scans and 20,000 tag reads: the SSI
// engines' cycles are bounded by their protocol's fixed waits (about 0.45 s
// for kind 3 and 0.6 s for kind 4), the text engine's by the line alone
// (well under a millisecond), so most scans go to the text engine and the
// SSI runs take about 15 minutes each; a module-5 cycle holds a 100 ms pause
// after its port open, a module-6 cycle about 40 ms of answer silences.
INSTANTIATE_TEST_SUITE_P(Devices, DecodeSoak,
                         ::testing::Values(SoakRun{"Kind2Engine", 2, 0, "SOAK_KIND2_CYCLES", 96500},
                                           SoakRun{"Kind3Engine", 3, 0, "SOAK_KIND3_CYCLES", 2000},
                                           SoakRun{"Kind4Engine", 4, 0, "SOAK_KIND4_CYCLES", 1500},
                                           SoakRun{"Module5", 0, 5, "SOAK_MODULE5_CYCLES", 6000},
                                           SoakRun{"Module6", 0, 6, "SOAK_MODULE6_CYCLES", 14000}),
                         runName);
