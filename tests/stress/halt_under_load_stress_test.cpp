// Starts and halts of the reader while other application threads keep
// calling it (label stress, run under ThreadSanitizer): queries, tag reads
// and writes, settings and the active device go on across every HaltReader
// and InitReader. Each call must give one of its documented results in
// whichever state it meets the reader, nothing may hang, and the reader must
// start again and scan after each halt.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <ostream>
#include <shared_mutex>
#include <string>

#include "stress/stress_workers.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace stress_testing;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

struct HaltTerminal {
  const char *name;
  int engineKind;
  int moduleKind;
  const char *tag;
  int readerType;
};

std::string terminalName(const ::testing::TestParamInfo<HaltTerminal> &info) { return info.param.name; }
// Names the terminal in test listings instead of its bytes.
void PrintTo(const HaltTerminal &terminal, std::ostream *out) { *out << terminal.name; }

std::atomic<long> announcements{0};
void onBroadcast(const char *message, long, long, void *) {
  if (std::strcmp(message, "WM_DECODEDATA") == 0) ++announcements;
}

using HaltUnderLoad = StressFixture<HaltTerminal>;

}  // namespace

TEST_P(HaltUnderLoad, CallsKeepTheirContractsAcrossHaltsAndStarts) {
  const HaltTerminal t = GetParam();
  auto terminal = startTerminal(quickConfig(t.engineKind, t.moduleKind));
  terminal->setSteadyBarcode(readersim::barcodeOf("code128:STEADY"));
  terminal->placeTag(readersim::tagOf(t.tag));
  ReaderHostSetBroadcastListener(&onBroadcast, nullptr);
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  if (t.engineKind == 2) {
    // Trigger-driven: a self-triggered engine with a barcode steadily in
    // view would decode into the next start's identification exchange.
    std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
    ASSERT_EQ(GetReaderSettings(record.data()), 1);
    record[78] = 0;
    ASSERT_EQ(SetReaderSettings(record.data()), 1);
  }
  char uidText[64] = {};
  const int uidLength = ReadRfidData(READER_RFID_READ_UID, uidText, sizeof uidText, -1, 1, 0, nullptr);
  ASSERT_GT(uidLength, 0);
  const std::string tagUid(uidText, static_cast<std::size_t>(uidLength));

  // A decode kept from before this test (its process ran others first)
  // stays a whole result too.
  char earlier[64] = {};
  const int earlierLength = GetDecodeData(earlier, sizeof earlier);
  const std::string earlierData(earlier, earlierLength > 0 ? static_cast<std::size_t>(earlierLength) : 0);

  Violations violations;
  std::atomic<long> readsOk{0}, readsFailed{0}, writesOk{0}, writesFailed{0};
  Workers workers;
  workers.start("queries", [&] {
    // Halfway through a start or a halt only one of the devices may be there.
    const int type = GetReaderType();
    if ((type & ~t.readerType) != 0) violations.add("GetReaderType " + std::to_string(type));
    const int active = GetActiveDevice();
    if (active != 0 && active != 7 && active != 32 && active != 255)
      violations.add("GetActiveDevice " + std::to_string(active));
    char buffer[64];
    int n = GetDecodeData(buffer, sizeof buffer);
    const std::string data(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n < 0 || (data != "" && data != "STEADY" && data != earlierData))
      violations.add("GetDecodeData " + std::to_string(n) + " " + data);
    n = GetDecodeRfidUID(buffer, sizeof buffer);
    const std::string uid(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n < 0 || (uid != "" && uid != tagUid)) violations.add("GetDecodeRfidUID " + std::to_string(n) + " " + uid);
    n = GetOutputRecord(READER_DEVICE_RFID, buffer, sizeof buffer);
    if (n < 0 || n > static_cast<int>(sizeof buffer)) violations.add("GetOutputRecord " + std::to_string(n));
  });
  workers.start("rfid", [&] {
    char buffer[160];
    const int r = ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, -1, 1, 0, nullptr);
    if (r == uidLength && std::string(buffer) == tagUid)
      ++readsOk;
    else if (r == READER_ERR_RFID_READ)
      ++readsFailed;
    else
      violations.add("ReadRfidData " + std::to_string(r));
    const unsigned char data[4] = {1, 2, 3, 4};
    int written = -1;
    const int w = WriteRfidData(data, -1, 4, &written, 0, 0, nullptr);
    if (w == 1 && written == 4)
      ++writesOk;
    else if (w == READER_ERR_RFID_WRITE && written == 0)
      ++writesFailed;
    else
      violations.add("WriteRfidData " + std::to_string(w) + " written " + std::to_string(written));
  });
  // Settings calls and SetActiveDevice overlap the halts but not the
  // starts: InitReader takes no lock (the lifecycle calls belong to one
  // application thread), and either of them during a start may cost it the
  // engine (-111): a settings exchange interleaved with the engine's set-up,
  // or the engine put out of use half-way.
  std::shared_mutex startGate;
  workers.start("settings", [&] {
    std::shared_lock gate(startGate);
    std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
    if (GetReaderSettings(record.data()) != 1) violations.add("GetReaderSettings");
    // Only a record read from a started engine goes back: one read while the
    // engine was closed has its section zeroed (as documented), and writing
    // that would wipe the engine's configuration.
    if ((record[0] & 7) == 0) return;
    record[346] = 0;  // no keystrokes; the engine's own section as it was read
    if (SetReaderSettings(record.data()) != 1) violations.add("SetReaderSettings");
  });
  workers.start("devices", [&, round = 0]() mutable {
    std::shared_lock gate(startGate);
    const int r = SetActiveDevice(round++ % 2 == 0 ? READER_DEVICE_ALL : READER_DEVICE_RFID);
    if (r != READER_OK && r != READER_ERR_NO_BARCODE && r != READER_ERR_NO_RFID)
      violations.add("SetActiveDevice " + std::to_string(r));
    std::this_thread::yield();
  });

  // The window thread: a press to its first announcement, a halt, a start.
  const auto startedAt = Clock::now();
  const auto end = startedAt + std::chrono::seconds(stressSeconds());
  long rounds = 0, scanned = 0, read = 0;
  while (Clock::now() < end) {
    SetActiveDevice(READER_DEVICE_ALL);
    const long before = announcements;
    ReaderHostTriggerKey(1, 1);
    const auto pressEnd = Clock::now() + 5s;
    while (announcements == before && Clock::now() < pressEnd) ReaderHostDispatch(20);
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
    if (announcements > before) ++scanned;
    // A tag read from another thread gets through on every start.
    const long readsBefore = readsOk;
    const auto readEnd = Clock::now() + kPatience;
    while (readsOk == readsBefore && Clock::now() < readEnd) ReaderHostDispatch(20);
    if (readsOk > readsBefore) ++read;
    ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK) << "round " << rounds;
    while (ReaderHostDispatch(0) > 0) {
    }
    std::unique_lock gate(startGate);
    ASSERT_EQ(InitReader(), READER_OK) << "round " << rounds;
    gate.unlock();
    ++rounds;
  }
  workers.stopAndJoin(std::chrono::seconds(120));
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  const double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();

  std::printf(
      "STRESS %s-halts seconds=%.1f rounds=%ld rounds_scanned=%ld rounds_read=%ld announced=%ld reads_ok=%ld "
      "reads_failed=%ld "
      "writes_ok=%ld writes_failed=%ld violations=%ld steps: %s\n",
      t.name, seconds, rounds, scanned, read, announcements.load(), readsOk.load(), readsFailed.load(), writesOk.load(),
      writesFailed.load(), violations.count(), workers.steps().c_str());
  std::fflush(stdout);
  EXPECT_EQ(violations.count(), 0) << violations.text();
  EXPECT_GT(rounds, 0);
  EXPECT_EQ(scanned, rounds);  // every start scanned again
  EXPECT_EQ(read, rounds);     // and read the tag
}

INSTANTIATE_TEST_SUITE_P(Terminals, HaltUnderLoad,
                         ::testing::Values(HaltTerminal{"TextEngineHexModule", 2, 6, "philips:E004010203040506",
                                                        READER_TYPE_TEXT_ENGINE | READER_TYPE_HEX_MODULE},
                                           HaltTerminal{"SsiEngineAsciiModule", 3, 5, "icode:E00401A2B3C4D5E6",
                                                        READER_TYPE_SSI_ENGINE_3 | READER_TYPE_ASCII_MODULE}),
                         terminalName);
