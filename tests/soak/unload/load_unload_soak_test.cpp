// Long run of whole loads of the module: dlopen, InitReader, a tag read to
// its announcement, HaltReader, dlclose; the module must really go away each
// time, and memory, descriptors and threads stay flat. The count comes from
// SOAK_LOAD_CYCLES.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "soak/process_figures.h"
#include "soak/simulator_process.h"
#include "support/loaded_module.h"
#include "support/test_terminal.h"

using namespace soak_testing;

namespace {

using Clock = std::chrono::steady_clock;

// Outlives every load: counts the tag announcements of all of them.
std::atomic<long> tagAnnouncements{0};
void onBroadcast(const char *message, long wParam, long, void *) {
  if (std::strcmp(message, "WM_DECODEDATA") == 0 && wParam == READER_DEVICE_RFID) ++tagAnnouncements;
}

// One load's life; an empty text when it went as it should.
std::string loadScanUnload(SimulatorProcess &simulator, long cycle) {
  testing_support::LoadedModule reader(READER_MODULE_PATH);
  if (!reader.loaded()) return std::string("load failed: ") + dlerror();
  reader.setBroadcastListener(&onBroadcast, nullptr);
  if (reader.initReader() != READER_OK) return "InitReader failed";
  if (reader.getReaderType() != READER_TYPE_HEX_MODULE) return "wrong reader type";
  reader.setTriggerKey(1);

  char uid[16];
  std::snprintf(uid, sizeof uid, "04%06lX", cycle & 0xFFFFFF);
  if (!simulator.replaceTag(std::string("mifare:") + uid)) return "simulator refused the tag";
  const long target = tagAnnouncements + 1;
  reader.triggerKey(1, 1);
  const auto deadline = Clock::now() + testing_support::kPatience;
  while (tagAnnouncements < target && Clock::now() < deadline) reader.dispatch(20);
  reader.triggerKey(1, 0);
  reader.dispatch(0);
  if (tagAnnouncements != target) return "announced " + std::to_string(tagAnnouncements - target + 1) + " times";
  char got[32] = {};
  if (reader.getDecodeRfidUid(got, sizeof got) <= 0 || std::string(got) != uid) return "UID " + std::string(got);

  if (reader.haltReader(READER_DEVICE_ALL) != READER_OK) return "HaltReader failed";
  reader.setBroadcastListener(nullptr, nullptr);
  if (!reader.unload()) return "the module stayed loaded";
  return {};
}

}  // namespace

TEST(LoadUnloadSoak, WholeLoadsLeaveNothingBehind) {
  testing_support::clearReaderEnvironment();
  const long cycles = countFromEnvironment("SOAK_LOAD_CYCLES", 200);
  const long checkpointAt = std::max(1L, cycles / 10);
  SimulatorProcess simulator(testing_support::quickConfig(0, 6));
  report("LoadUnload", "start", ProcessFigures::now());
  ProcessFigures checkpoint;
  const auto startedAt = Clock::now();

  for (long cycle = 1; cycle <= cycles; ++cycle) {
    const std::string fault = loadScanUnload(simulator, cycle);
    ASSERT_EQ(fault, "") << "cycle " << cycle;
    if (cycle == checkpointAt) {
      checkpoint = ProcessFigures::now();
      report("LoadUnload", "checkpoint@" + std::to_string(cycle), checkpoint);
    }
  }
  const ProcessFigures end = ProcessFigures::now();
  const double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();
  report("LoadUnload", "end@" + std::to_string(cycles), end);
  const SentCounts sent = simulator.counts();
  char line[200];
  std::snprintf(line, sizeof line, "cycles=%ld sent=%ld announced=%ld seconds=%.1f ms_per_cycle=%.1f", cycles,
                sent.tagsReported, tagAnnouncements.load(), seconds, seconds * 1000.0 / cycles);
  reportLine("LoadUnload", line);

  EXPECT_EQ(tagAnnouncements, cycles);
  EXPECT_EQ(sent.tagsReported, cycles);
  EXPECT_EQ(growthBeyond(checkpoint, end, Tolerance{}), "");
}
