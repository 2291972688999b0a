// Many application threads on one started reader at once, under
// ThreadSanitizer (label stress): queries, settings, tag reads and writes,
// the active device, feedback and the trigger key flag from worker threads
// while the window thread presses the trigger and dispatches. Every call
// must return one of its documented results, a query must see a decode
// whole (never half of one and half of another), no thread may hang, and
// the reader must halt cleanly afterwards.
//
// The run is bounded by STRESS_SECONDS (default 30) per terminal; a thread
// that makes no progress for the hang guard ends the process.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "stress/stress_workers.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace stress_testing;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Data of different lengths, so a torn read could not pass for one of them.
const std::array<std::string, 3> kBarcodeData = {"A1", "BBBB22", "CCCCCCCCCCCC333"};

struct StressTerminal {
  const char *name;
  int engineKind;
  int moduleKind;
  const char *tag;  // the one tag in the field
  int readerType;
  int scanTimeByte;
};

std::string terminalName(const ::testing::TestParamInfo<StressTerminal> &info) { return info.param.name; }
// Names the terminal in test listings instead of its bytes.
void PrintTo(const StressTerminal &terminal, std::ostream *out) { *out << terminal.name; }

std::atomic<long> barcodeAnnouncements{0};
std::atomic<long> tagAnnouncements{0};
void onBroadcast(const char *message, long wParam, long, void *) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0) return;
  (wParam == READER_DEVICE_BARCODE ? barcodeAnnouncements : tagAnnouncements)++;
}

using ConcurrencyStress = StressFixture<StressTerminal>;

}  // namespace

TEST_P(ConcurrencyStress, CallsFromManyThreadsKeepTheirContracts) {
  const StressTerminal t = GetParam();
  barcodeAnnouncements = 0;
  tagAnnouncements = 0;
  auto terminal = startTerminal(quickConfig(t.engineKind, t.moduleKind));
  terminal->placeTag(readersim::tagOf(t.tag));
  ReaderHostSetBroadcastListener(&onBroadcast, nullptr);
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> initial{};
  ASSERT_EQ(GetReaderSettings(initial.data()), 1);
  if (t.engineKind == 2) {
    initial[78] = 0;  // trigger-driven, not self-triggered
    ASSERT_EQ(SetReaderSettings(initial.data()), 1);
  }
  const int threadsStarted = threadCount();

  Violations violations;
  const std::set<std::string> barcodeResults = {"", kBarcodeData[0], kBarcodeData[1], kBarcodeData[2]};
  // The tag's UID as the library reads it when nothing else runs.
  char uidText[64] = {};
  const int uidLength = ReadRfidData(READER_RFID_READ_UID, uidText, sizeof uidText, -1, 1, 0, nullptr);
  ASSERT_GT(uidLength, 0);
  const std::string tagUid(uidText, static_cast<std::size_t>(uidLength));
  const std::set<std::string> uidResults = {tagUid};
  std::atomic<long> readsOk{0}, readsNoTag{0}, writesOk{0}, writesRefused{0};

  Workers workers;
  // Queries: documented ranges, and decodes seen whole.
  for (const char *name : {"queries-1", "queries-2"}) {
    workers.start(name, [&] {
      if (GetReaderType() != t.readerType) violations.add("GetReaderType " + std::to_string(GetReaderType()));
      const int active = GetActiveDevice();
      if (active != 32 && active != 255) violations.add("GetActiveDevice " + std::to_string(active));
      const int trigger = GetTriggerKeyStatus();
      if (trigger != 1 && trigger != 2) violations.add("GetTriggerKeyStatus " + std::to_string(trigger));
      char buffer[64];
      int n = GetDecodeData(buffer, sizeof buffer);
      if (n < 0 || n >= static_cast<int>(sizeof buffer) || barcodeResults.count(std::string(buffer, n)) == 0)
        violations.add("GetDecodeData " + std::to_string(n));
      const int type = GetDecodeType();
      if (type != 0 && type != 'I') violations.add("GetDecodeType " + std::to_string(type));
      n = GetDecodeRfidUID(buffer, sizeof buffer);
      if (n < 0 || n >= static_cast<int>(sizeof buffer) || uidResults.count(std::string(buffer, n)) == 0)
        violations.add("GetDecodeRfidUID " + std::to_string(n));
      n = GetDecodeRfidData(buffer, sizeof buffer);
      if (n < 0 || n > static_cast<int>(sizeof buffer)) violations.add("GetDecodeRfidData " + std::to_string(n));
      for (int mask : {READER_DEVICE_BARCODE, READER_DEVICE_RFID}) {
        n = GetOutputRecord(mask, buffer, sizeof buffer);
        if (n < 0 || n > static_cast<int>(sizeof buffer)) violations.add("GetOutputRecord " + std::to_string(n));
      }
      if (GetDllVer(buffer, sizeof buffer) != 1) violations.add("GetDllVer");
      if (GetSerialNumber(buffer, sizeof buffer) <= 0) violations.add("GetSerialNumber");
      if (GetDecodeData(nullptr, 10) != READER_ERR_BAD_BUFFER) violations.add("GetDecodeData null");
    });
  }
  // Settings: read, then write back with a library option and the engine's
  // scan time changed, so that the engine is written to as well.
  workers.start("settings", [&, flip = 0]() mutable {
    std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
    if (GetReaderSettings(record.data()) != 1) violations.add("GetReaderSettings");
    if (t.engineKind == 2 && record[78] != 0) violations.add("trigger mode changed to " + std::to_string(record[78]));
    flip ^= 1;
    record[346] = static_cast<unsigned char>(flip);  // keyboard output
    record[t.scanTimeByte] = static_cast<unsigned char>(3 + flip);
    if (SetReaderSettings(record.data()) != 1) violations.add("SetReaderSettings");
    if (GetReaderSettings(nullptr) != READER_ERR_SETTINGS) violations.add("GetReaderSettings null");
  });
  // Tag memory: the tag never leaves the field, so reads and writes succeed.
  workers.start("rfid", [&, round = 0]() mutable {
    char buffer[160];
    const int uid = ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, -1, 1, 0, nullptr);
    if (uid == uidLength && std::string(buffer) == tagUid)
      ++readsOk;
    else if (uid == READER_ERR_RFID_READ)
      ++readsNoTag;
    else
      violations.add("ReadRfidData UID " + std::to_string(uid));
    const unsigned char data[4] = {static_cast<unsigned char>(round), 0xA5, 0x00, 0x5A};
    ++round;
    int written = -1;
    const int w = WriteRfidData(data, -1, 4, &written, 0, 0, nullptr);
    if (w == 1 && written == 4)
      ++writesOk;
    else if (w == READER_ERR_RFID_WRITE && written == 0)
      ++writesRefused;
    else
      violations.add("WriteRfidData " + std::to_string(w) + " written " + std::to_string(written));
    const int d = ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 8, 0, nullptr);
    if (d != 8 && d != READER_ERR_RFID_READ) violations.add("ReadRfidData data " + std::to_string(d));
  });
  // The active device (the engine in and out of use; the module stays in
  // use, so that every tag read must succeed), the trigger flag and the
  // feedback outputs.
  workers.start("devices", [&, round = 0]() mutable {
    const int r = SetActiveDevice(round % 2 == 0 ? READER_DEVICE_RFID : READER_DEVICE_ALL);
    if (r != READER_OK) violations.add("SetActiveDevice " + std::to_string(r));
    if (SetTriggerKey(1 + round % 2) != 1) violations.add("SetTriggerKey");
    if (Beeper(1 + round % 9, nullptr) != 1) violations.add("Beeper");
    if (SetVibrator(0, 0) != 1) violations.add("SetVibrator");
    ++round;
    std::this_thread::yield();
  });

  // The window thread: present a barcode, press, dispatch until something is
  // announced or a while has passed, release.
  const auto startedAt = Clock::now();
  const auto end = startedAt + std::chrono::seconds(stressSeconds());
  long presses = 0;
  while (Clock::now() < end) {
    terminal->presentBarcode(readersim::barcodeOf("code128:" + kBarcodeData[presses % 3]));
    const long before = barcodeAnnouncements + tagAnnouncements;
    ReaderHostTriggerKey(1, 1);
    const auto pressEnd = Clock::now() + 2s;
    while (barcodeAnnouncements + tagAnnouncements == before && Clock::now() < pressEnd) ReaderHostDispatch(20);
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
    ++presses;
  }
  workers.stopAndJoin(std::chrono::seconds(120));
  const double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();

  // A clean halt: both devices close, no thread is left beyond those the
  // start made, and calls after it keep their contracts.
  terminal->clearPresented();
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  while (ReaderHostDispatch(0) > 0) {
  }
  EXPECT_TRUE(terminal->engine()->waitForHostCloseCount(terminal->engine()->hostOpenCount(), kPatience));
  EXPECT_LE(threadCount(), threadsStarted);
  char buffer[32];
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, -1, 1, 0, nullptr), READER_ERR_RFID_READ);
  EXPECT_EQ(GetReaderType(), 0);
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_ERR_NO_DEVICE);

  std::printf(
      "STRESS %s seconds=%.1f presses=%ld announced_barcode=%ld announced_tag=%ld reads_ok=%ld "
      "reads_no_tag=%ld writes_ok=%ld writes_refused=%ld violations=%ld steps: %s\n",
      t.name, seconds, presses, barcodeAnnouncements.load(), tagAnnouncements.load(), readsOk.load(), readsNoTag.load(),
      writesOk.load(), writesRefused.load(), violations.count(), workers.steps().c_str());
  std::fflush(stdout);
  EXPECT_EQ(violations.count(), 0) << violations.text();
  // The tag stays in the field all along: every read and write finds it.
  EXPECT_EQ(readsNoTag, 0);
  EXPECT_EQ(writesRefused, 0);
  EXPECT_GT(readsOk, 0);
}

INSTANTIATE_TEST_SUITE_P(Terminals, ConcurrencyStress,
                         ::testing::Values(StressTerminal{"TextEngineHexModule", 2, 6, "philips:E004010203040506",
                                                          READER_TYPE_TEXT_ENGINE | READER_TYPE_HEX_MODULE, 79},
                                           StressTerminal{"SsiEngineAsciiModule", 3, 5, "icode:E00401A2B3C4D5E6",
                                                          READER_TYPE_SSI_ENGINE_3 | READER_TYPE_ASCII_MODULE, 283}),
                         terminalName);
