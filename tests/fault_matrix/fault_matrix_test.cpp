// The fault matrix: every device kind, every operation that applies to it,
// every fault the simulators can inject. Each cell checks the result the
// operation reports under the fault, that no call hangs past its time-outs,
// that the operation works again once the fault is gone (after a re-start
// where the library cannot reopen the port itself), and that no descriptor
// or thread is left behind.
#include <3100XE_DLL.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "api/scan_host.h"
#include "call_guard.h"
#include "cell.h"
#include "fault_switch.h"
#include "support/hex_bytes.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace fault_matrix;
using readersim::barcodeOf;
using readersim::tagOf;
using scan_testing::ScanHost;

namespace {

using Record = std::array<unsigned char, READER_SETTINGS_RECORD_SIZE>;

const std::string kTagUid = "E004010203040506";
const Bytes kTagUidBytes = {0xE0, 0x04, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

int openDescriptors() {
  DIR *dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent *entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count - 1;  // the directory's own
}

// The byte that holds the scan time of each engine kind's record section.
int scanTimeByte(int kind) { return kind == 2 ? 79 : kind == 3 ? 283 : 165; }
constexpr int kTextEngineTriggerModeByte = 78;

class FaultMatrix : public ::testing::TestWithParam<Cell> {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    const Cell &cell = GetParam();
    readersim::TerminalConfig config = cell.isEngine() ? quickConfig(cell.kind, 0) : quickConfig(0, cell.kind);
    config.stablePorts = true;
    // An engine left scanning by a switch-on whose answer was spoiled ends
    // that session by itself, as a real one does, before the scan after it.
    config.sessionLimit = std::chrono::seconds(1);
    if (!cell.isEngine()) config.tags.push_back(tagOf("philips:" + kTagUid + ":" + hex(pattern(32, 0x40))));
    terminal_ = startTerminal(config);
  }
  void TearDown() override {
    guard_.run("HaltReader", [] { return HaltReader(READER_DEVICE_ALL); });
  }

  const Cell &cell() const { return GetParam(); }
  readersim::PtyDevice &device() const { return cell().isEngine() ? *terminal_->engine() : *terminal_->module(); }
  int deviceMask() const { return cell().isEngine() ? READER_DEVICE_BARCODE : READER_DEVICE_RFID; }
  int failedStart() const { return cell().isEngine() ? READER_ERR_BARCODE_FAILED : READER_ERR_RFID_FAILED; }

  int start() {
    return guard_.run("InitReader", [] { return InitReader(); });
  }

  // A device that keeps talking holds no call longer than its time-outs and
  // attempts allow (the longest: a hex-frame module's four air protocols,
  // each a protocol change and two detections); without frame deadlines it
  // would hold it for ever.
  static constexpr std::chrono::seconds kTrickleCallBound{30};
  // A release or a halt is seen between two bytes.
  static constexpr std::chrono::seconds kTrickleStopBound{5};
  void expectBoundedUnderTrickle(const char *what) {
    if (cell().fault != Fault::Trickle) return;
    EXPECT_LE(guard_.lastDuration(), kTrickleCallBound) << what << " took " << guard_.lastDuration().count() << " ms";
  }
  int halt() {
    return guard_.run("HaltReader", [] { return HaltReader(READER_DEVICE_ALL); });
  }

  // Halts and takes the counts every later halt must come back to: the
  // library's threads outlive a halt, so they are counted after the first.
  void haltAndCount() {
    ASSERT_EQ(halt(), READER_OK);
    descriptors_ = openDescriptors();
    threads_ = threadCount();
  }
  void haltAndCheckNothingLeaked() {
    ASSERT_EQ(halt(), READER_OK);
    EXPECT_EQ(openDescriptors(), descriptors_);
    EXPECT_LE(threadCountAtMost(threads_), threads_);
  }

  // What the device received, for failure messages.
  std::string receivedText() const {
    std::string out;
    for (const ReceivedFrame &frame : receivedFrames(device()))
      out += (cell().kind == 2 ? textEngineCommand(frame) : hex(frame.bytes)) + " ";
    return out;
  }

  // --- the operations, each checked for success unless under the fault -----

  void prepareScans() {
    ASSERT_EQ(SetTriggerKey(1), 1);
    Record record{};
    ASSERT_EQ(guard_.run("GetReaderSettings", [&] { return GetReaderSettings(record.data()); }), 1);
    record[scanTimeByte(cell().kind)] = 1;
    // The text engine leaves the factory triggering itself; its cells press.
    if (cell().kind == 2) record[kTextEngineTriggerModeByte] = 0;
    ASSERT_EQ(guard_.run("SetReaderSettings", [&] { return SetReaderSettings(record.data()); }), 1);
  }
  // The decode announced under the fault: an oversized one is taken whole,
  // filler and all, since nothing in it tells where the real data ends.
  std::string faultyDecode() const {
    std::string data = "FAULT";
    if (cell().fault == Fault::Oversized) data.append(readersim::PtyDevice::kOversizeFill, 'A');
    return data;
  }
  static std::string decodedText() {
    std::vector<char> buffer(2 * readersim::PtyDevice::kOversizeFill);
    const int n = GetDecodeData(buffer.data(), static_cast<int>(buffer.size()));
    return n < 0 ? "<error>" : std::string(buffer.data(), static_cast<std::size_t>(n));
  }
  void scanSucceeds(const std::string &data) {
    const int before = host_.announced();
    ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:" + data)));
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() > before; }))
        << "no decode of " << data << "; the device received " << receivedText();
    EXPECT_EQ(host_.announced(), before + 1);
    EXPECT_EQ(scan_testing::decodeData(), data);
  }

  int readTag(Bytes &out) {
    char buffer[300] = {};
    const int n = guard_.run(
        "ReadRfidData", [&] { return ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 0, 8, 0, nullptr); });
    out.assign(buffer, buffer + std::max(n, 0));
    return n;
  }
  void readSucceeds() {
    Bytes out;
    ASSERT_EQ(readTag(out), 8);
    EXPECT_EQ(out, pattern(8, 0x40));
  }
  int writeTag(const Bytes &data) {
    int written = -1;
    return guard_.run("WriteRfidData", [&] {
      return WriteRfidData(data.data(), 8, static_cast<int>(data.size()), &written, 0, 0, nullptr);
    });
  }
  void writeSucceeds(std::uint8_t first) {
    ASSERT_EQ(writeTag(pattern(4, first)), READER_OK);
    const auto tag = terminal_->tag(kTagUidBytes);
    ASSERT_TRUE(tag && tag->block(2));
    EXPECT_EQ(*tag->block(2), pattern(4, first));
  }

  // Settings: the defaults applied, then read back.
  Record resetAndRead() {
    Record record{};
    EXPECT_EQ(guard_.run("ResetReaderToDefault", [&] { return ResetReaderToDefault(deviceMask()); }), READER_OK);
    EXPECT_EQ(guard_.run("GetReaderSettings", [&] { return GetReaderSettings(record.data()); }), 1);
    return record;
  }

  // Under the trickle: a halt in the middle of a cycle that reads what the
  // device trickles returns between two bytes. The device is then sane
  // again, and the reader started anew, for the rest of the cell.
  void haltEndsAScanUnderTheTrickle() {
    // The press starts a cycle at once; a few trickled bytes later it is
    // reading them (an SSI engine whose switch-off drowned in the trickle
    // is still marked on, and gets no new switch-on).
    ReaderHostTriggerKey(1, 1);
    ReaderHostDispatch(0);
    const std::size_t trickled = device().trickledBytes();
    ASSERT_TRUE(ScanHost::dispatchUntil([&] { return device().trickledBytes() > trickled + 20; }));
    EXPECT_EQ(halt(), READER_OK);
    EXPECT_LE(guard_.lastDuration(), kTrickleStopBound) << "HaltReader took " << guard_.lastDuration().count() << " ms";
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
    device().stopTrickle();
    ASSERT_EQ(start(), READER_OK);
    prepareScans();
  }
  void haltEndsATagReadUnderTheTrickle() {
    const std::size_t frames = device().framesReceived().size();
    auto read = std::async(std::launch::async, [] {
      char buffer[64] = {};
      return ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 0, 8, 0, nullptr);
    });
    ASSERT_TRUE(device().waitForFrames(frames + 1, kPatience));
    const std::size_t trickled = device().trickledBytes();
    ASSERT_TRUE(ScanHost::dispatchUntil([&] { return device().trickledBytes() > trickled + 4; }));
    EXPECT_EQ(halt(), READER_OK);
    EXPECT_LE(guard_.lastDuration(), kTrickleStopBound) << "HaltReader took " << guard_.lastDuration().count() << " ms";
    ASSERT_EQ(read.wait_for(kTrickleStopBound), std::future_status::ready) << "the read went on after the halt";
    EXPECT_EQ(read.get(), READER_ERR_RFID_READ);
    device().stopTrickle();
    ASSERT_EQ(start(), READER_OK);
  }

  // --- one cell per operation ---------------------------------------------

  void startCell() {
    ASSERT_EQ(start(), READER_OK);
    haltAndCount();
    FaultSwitch fault(*terminal_, cell());
    const int result = start();
    expectBoundedUnderTrickle("InitReader");
    fault.waitUntilApplied();
    EXPECT_EQ(result, cell().expected) << "InitReader under the fault";
    fault.clear();
    (void)halt();  // -101 when nothing stayed open
    ASSERT_EQ(start(), READER_OK) << "InitReader once the fault is gone";
    haltAndCheckNothingLeaked();
  }

  void settingsCell() {
    ASSERT_EQ(start(), READER_OK);
    const Record defaults = resetAndRead();
    haltAndCount();
    ASSERT_EQ(start(), READER_OK);
    {
      FaultSwitch fault(*terminal_, cell());
      Record record{};
      EXPECT_EQ(guard_.run("GetReaderSettings", [&] { return GetReaderSettings(record.data()); }), 1);
      EXPECT_EQ(guard_.run("SetReaderSettings", [&] { return SetReaderSettings(defaults.data()); }), 1);
      EXPECT_EQ(guard_.run("ResetReaderToDefault", [&] { return ResetReaderToDefault(deviceMask()); }),
                cell().expected);
      expectBoundedUnderTrickle("ResetReaderToDefault");
      fault.waitUntilApplied();
      fault.clear();
      if (fault.needsRestart()) {
        (void)halt();
        ASSERT_EQ(start(), READER_OK);
      }
    }
    EXPECT_EQ(resetAndRead(), defaults) << "the settings once the fault is gone";
    haltAndCheckNothingLeaked();
  }

  void scanCell() {
    ASSERT_EQ(start(), READER_OK);
    prepareScans();
    scanSucceeds("GOOD");
    haltAndCount();
    ASSERT_EQ(start(), READER_OK);
    prepareScans();
    {
      FaultSwitch fault(*terminal_, cell());
      ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:FAULT")));
      const FaultSwitch::CycleMark mark = fault.cycleMark();
      // The trigger is held until the cycle has made its last exchange: its
      // release would switch the engine off early, and the fault stays on
      // for every retry, the decode and the switch-off.
      ReaderHostTriggerKey(1, 1);
      bool over = false;
      if (cell().fault == Fault::Trickle) {
        // Released while the cycle reads the trickle: it ends at once.
        ASSERT_TRUE(ScanHost::dispatchUntil([&] { return fault.switchOnsSeen() > mark.switchOns; }));
        const std::size_t trickled = device().trickledBytes();
        ASSERT_TRUE(ScanHost::dispatchUntil([&] { return device().trickledBytes() > trickled + 20; }));
        ReaderHostTriggerKey(1, 0);
        over = ScanHost::dispatchUntil([&] { return fault.cycleOver(mark); }, kTrickleStopBound);
      } else {
        over = ScanHost::dispatchUntil([&] { return fault.cycleOver(mark); });
        ReaderHostTriggerKey(1, 0);
      }
      ASSERT_TRUE(over) << "the cycle never ended; the engine was switched on " << fault.switchOnsSeen()
                        << " times and received " << receivedText();
      fault.waitUntilApplied();
      if (cell().expected > 0) {
        ASSERT_TRUE(ScanHost::dispatchUntil([&] { return host_.announced() == 1 + cell().expected; }));
        EXPECT_EQ(decodedText(), faultyDecode());
      }
      if (cell().fault == Fault::Trickle) haltEndsAScanUnderTheTrickle();
      ReaderHostDispatch(0);
      fault.clear();
      ASSERT_FALSE(terminal_->clearPresented());
      ASSERT_TRUE(ScanHost::dispatchUntil([&] { return !terminal_->barcodeEngine()->cycleOpen(); }));
      if (fault.needsRestart()) {
        ASSERT_EQ(halt(), READER_OK);
        ASSERT_EQ(start(), READER_OK);
        prepareScans();
      }
    }
    // Whatever the faulty cycle got, it announced none of it: the next
    // announcement is the first after it, and it is the decode made now.
    EXPECT_EQ(host_.announced(), 1 + cell().expected);
    scanSucceeds("AFTER");
    haltAndCheckNothingLeaked();
  }

  void tagReadCell() {
    ASSERT_EQ(start(), READER_OK);
    readSucceeds();
    haltAndCount();
    ASSERT_EQ(start(), READER_OK);
    {
      FaultSwitch fault(*terminal_, cell());
      Bytes out;
      const int n = readTag(out);
      expectBoundedUnderTrickle("ReadRfidData");
      fault.waitUntilApplied();
      EXPECT_EQ(n, cell().expected) << "ReadRfidData under the fault";
      if (cell().fault == Fault::Trickle) haltEndsATagReadUnderTheTrickle();
      fault.clear();
      if (fault.needsRestart()) {
        (void)halt();
        ASSERT_EQ(start(), READER_OK);
      }
    }
    readSucceeds();
    haltAndCheckNothingLeaked();
  }

  void tagWriteCell() {
    ASSERT_EQ(start(), READER_OK);
    readSucceeds();  // a kind-6 write uses the protocol the last read found
    writeSucceeds(0x10);
    haltAndCount();
    ASSERT_EQ(start(), READER_OK);
    {
      readSucceeds();
      FaultSwitch fault(*terminal_, cell());
      const int result = writeTag(pattern(4, 0x20));
      expectBoundedUnderTrickle("WriteRfidData");
      fault.waitUntilApplied();
      EXPECT_EQ(result, cell().expected) << "WriteRfidData under the fault";
      fault.clear();
      if (fault.needsRestart()) {
        (void)halt();
        ASSERT_EQ(start(), READER_OK);
        readSucceeds();
      }
    }
    writeSucceeds(0x30);
    haltAndCheckNothingLeaked();
  }

  CallGuard guard_;
  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
  int descriptors_ = -1;
  int threads_ = -1;
};

TEST_P(FaultMatrix, Cell) {
  switch (cell().op) {
    case Op::Start: startCell(); break;
    case Op::Settings: settingsCell(); break;
    case Op::Scan: scanCell(); break;
    case Op::TagRead: tagReadCell(); break;
    case Op::TagWrite: tagWriteCell(); break;
  }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, FaultMatrix, ::testing::ValuesIn(allCells()),
                         [](const ::testing::TestParamInfo<Cell> &info) { return info.param.name(); });

}  // namespace
