// The scan engine's wake-line status on Linux (READER_ENGINE_STATUS), end to
// end against the simulated SSI engines. Pseudo-terminals have no modem
// lines and this machine has no GPIO chip, so the backend's system-call
// table is wired to the simulator here: RTS set and cleared on the engine's
// port drive the engine's wake line, and the status lines (CTS, DSR wired
// active-low, a GPIO line) show whether the engine is awake. The wiring
// logs each step: 'A' wake line asserted, 'R' released, 'q' status read.
#include <3100XE_DLL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/gpio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/device_calls.h"
#include "readersim/hex_text.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

constexpr const char *kChipPath = "/dev/gpiochip7";

// What one SSI write looks like on the wiring: the status read before the
// assert, the polls after it, the read before the release, the polls after.
const std::string kAnsweredAtOnce = "qAqqRq";
const std::string kFixedWaits = "qAqR";   // every status read failed
const std::string kNoStatusAtAll = "AR";  // no source to read
const std::string kNeverNoticed = "qA" + std::string(10, 'q') + "qRq";

class Wiring {
 public:
  void connect(readersim::SsiEngine *engine) {
    std::lock_guard lock(mutex_);
    engine_ = engine;
    enginePath_ = engine->portPath();
    events_.clear();
  }
  std::string events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

  std::atomic<bool> statusReadFails{false};
  std::atomic<int> chipOpens{0};
  std::atomic<int> chipCloses{0};

  gpio_v2_line_request lineRequested() const {
    std::lock_guard lock(mutex_);
    return request_;
  }

  int modemLines(int fd, unsigned long request, int *bits) {
    readersim::SsiEngine *engine = engineAt(fd);
    if (engine == nullptr) return ::ioctl(fd, request, bits);
    if (request == TIOCMGET) {
      note('q');
      if (statusReadFails) {
        errno = EIO;
        return -1;
      }
      *bits = engine->awake() ? TIOCM_CTS : TIOCM_DSR;
      return 0;
    }
    if ((*bits & TIOCM_RTS) != 0) {
      note(request == TIOCMBIS ? 'A' : 'R');
      engine->setWakeLine(request == TIOCMBIS);
    }
    return 0;
  }

  int open(const char *path, int) {
    if (std::strcmp(path, kChipPath) != 0) {
      errno = ENOENT;
      return -1;
    }
    ++chipOpens;
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    std::lock_guard lock(mutex_);
    chipFd_ = fd;
    return fd;
  }

  int close(int fd) {
    {
      std::lock_guard lock(mutex_);
      if (fd == chipFd_) ++chipCloses;
    }
    return ::close(fd);
  }

  int control(int fd, unsigned long request, void *argument) {
    std::unique_lock lock(mutex_);
    if (fd == chipFd_ && request == GPIO_V2_GET_LINE_IOCTL) {
      auto *lineRequest = static_cast<gpio_v2_line_request *>(argument);
      request_ = *lineRequest;
      lineFd_ = lineRequest->fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
      return 0;
    }
    if (fd == lineFd_ && request == GPIO_V2_LINE_GET_VALUES_IOCTL) {
      readersim::SsiEngine *engine = engine_;
      lock.unlock();
      note('q');
      auto *values = static_cast<gpio_v2_line_values *>(argument);
      values->bits = engine->awake() ? (values->mask & 1u) : 0u;
      return 0;
    }
    errno = ENOTTY;
    return -1;
  }

 private:
  // The engine behind `fd`, when it is the engine's port.
  readersim::SsiEngine *engineAt(int fd) const {
    char name[128];
    if (ttyname_r(fd, name, sizeof name) != 0) return nullptr;
    std::lock_guard lock(mutex_);
    return name == enginePath_ ? engine_ : nullptr;
  }
  void note(char event) {
    std::lock_guard lock(mutex_);
    events_ += event;
  }

  mutable std::mutex mutex_;
  readersim::SsiEngine *engine_ = nullptr;
  std::string enginePath_;
  std::string events_;
  int chipFd_ = -1;
  int lineFd_ = -1;
  gpio_v2_line_request request_{};
};

Wiring gWiring;

const reader::platform::posix::DeviceCalls kWiredCalls{
    [](int fd, unsigned long request, int *bits) { return gWiring.modemLines(fd, request, bits); },
    [](const char *path, int flags) { return gWiring.open(path, flags); },
    [](int fd) { return gWiring.close(fd); },
    [](int fd, unsigned long request, void *argument) { return gWiring.control(fd, request, argument); },
};

std::string repeated(const std::string &pattern, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += pattern;
  return all;
}

std::size_t countOf(const std::string &events, char event) {
  return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

class EngineLineStatusTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    unsetenv("READER_ENGINE_STATUS");
    unsetenv("READER_TRACE");
    reader::platform::posix::setDeviceCallsForTesting(&kWiredCalls);
    ReaderHostSetBroadcastListener(&EngineLineStatusTest::onBroadcast, this);
    ReaderHostSetOutputListener(&EngineLineStatusTest::onOutput, this);
  }
  void TearDown() override {
    HaltReader(READER_DEVICE_ALL);
    reader::platform::posix::setDeviceCallsForTesting(nullptr);
    ReaderHostSetBroadcastListener(nullptr, nullptr);
    ReaderHostSetOutputListener(nullptr, nullptr);
  }

  // A terminal whose engine is wired to the library, started.
  void start(std::optional<std::chrono::milliseconds> noticeDelay = 0ms) {
    readersim::TerminalConfig config = quickConfig(GetParam(), 0);
    config.ssiEngine.wakeNoticeDelay = noticeDelay;
    terminal_ = startTerminal(config);
    gWiring.connect(terminal_->ssiEngine());
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
  }

  // One trigger scan to its end (the stop decode), then a settings read.
  void scanAndReadSettings() {
    ASSERT_EQ(terminal_->presentBarcode(readersim::barcodeOf("code128:WAKE")), std::nullopt);
    const int announcedBefore = announced_;
    ReaderHostTriggerKey(1, 1);
    const bool decoded = dispatchUntil([&] { return announced_ > announcedBefore; });
    ReaderHostTriggerKey(1, 0);
    ASSERT_TRUE(decoded);
    char data[64] = {};
    EXPECT_EQ(GetDecodeData(data, sizeof data), 4);
    EXPECT_STREQ(data, "WAKE");
    ASSERT_TRUE(dispatchUntil([&] { return stopDecodes() == 1; }));
    std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
    ASSERT_EQ(GetReaderSettings(record.data()), 1);
  }

  // Both directions of the engine's line, byte for byte.
  std::vector<std::string> traffic() const {
    std::vector<std::string> lines;
    for (const readersim::TrafficRecord &record : terminal_->engine()->log().snapshot()) {
      if (record.isFrame()) lines.push_back("> " + readersim::hexDump(record.bytes));
      if (record.isSentAnswer()) lines.push_back("< " + readersim::hexDump(record.bytes));
    }
    return lines;
  }

  // Every packet the engine took arrived under the asserted wake line, and
  // the line was asserted once for each.
  void expectEveryPacketWoken(const std::string &events) const {
    std::size_t packets = 0;
    for (const readersim::TrafficRecord &record : terminal_->engine()->log().snapshot()) {
      if (record.type != readersim::RecordType::FromHost) continue;
      ++packets;
      EXPECT_TRUE(record.isFrame() && record.has(readersim::traffic_flag::kWakeAsserted))
          << readersim::describe(record);
    }
    EXPECT_EQ(countOf(events, 'A'), packets);
  }

  // Starts the reader (the engine noticing after `notice`), scans and reads
  // the settings; every write went with `perWrite`'s status reads, under the
  // asserted wake line.
  void runExpecting(const std::string &perWrite, std::optional<std::chrono::milliseconds> notice = 0ms) {
    ASSERT_NO_FATAL_FAILURE(start(notice));
    ASSERT_NO_FATAL_FAILURE(scanAndReadSettings());
    const std::string events = gWiring.events();
    EXPECT_EQ(events, repeated(perWrite, countOf(events, 'A')));
    expectEveryPacketWoken(events);
  }

  std::vector<std::string> statusReports() const {
    std::lock_guard lock(mutex_);
    return reports_;
  }

  std::unique_ptr<readersim::Terminal> terminal_;

 private:
  static bool dispatchUntil(const std::function<bool()> &done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      ReaderHostDispatch(20);
    }
    return true;
  }
  std::size_t stopDecodes() const {
    std::size_t count = 0;
    for (const ReceivedFrame &frame : receivedFrames(*terminal_->engine())) count += ssiOpcode(frame) == 0xE5 ? 1 : 0;
    return count;
  }
  static void onBroadcast(const char *message, long wParam, long, void *context) {
    if (std::strcmp(message, "WM_DECODEDATA") == 0 && wParam == 7)
      ++static_cast<EngineLineStatusTest *>(context)->announced_;
  }
  static void onOutput(const ReaderOutput *output, void *context) {
    if (output->kind != READER_OUTPUT_TRACE || output->text == nullptr) return;
    if (std::strncmp(output->text, "READER_ENGINE_STATUS", 20) != 0) return;
    auto *self = static_cast<EngineLineStatusTest *>(context);
    std::lock_guard lock(self->mutex_);
    self->reports_.emplace_back(output->text);
  }

  std::atomic<int> announced_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> reports_;
};

// The variable is read once per process, so the fixed waits of the first run
// come from a status read that fails (TIOCMGET refused): the library treats
// that exactly as no status source at all.
TEST_P(EngineLineStatusTest, AStatusAnsweringAtOnceLeavesTheWireAsTheFixedWaitsDo) {
  setenv("READER_ENGINE_STATUS", "cts", 1);
  gWiring.statusReadFails = true;
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_NO_FATAL_FAILURE(scanAndReadSettings());
  HaltReader(READER_DEVICE_ALL);
  const std::vector<std::string> withFixedWaits = traffic();
  const std::string fixedEvents = gWiring.events();
  EXPECT_EQ(fixedEvents, repeated(kFixedWaits, countOf(fixedEvents, 'A')));
  expectEveryPacketWoken(fixedEvents);

  gWiring.statusReadFails = false;
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_NO_FATAL_FAILURE(scanAndReadSettings());
  HaltReader(READER_DEVICE_ALL);
  const std::string events = gWiring.events();
  // One poll after each change: polling stopped at the first answer.
  EXPECT_EQ(events, repeated(kAnsweredAtOnce, countOf(events, 'A')));
  expectEveryPacketWoken(events);
  EXPECT_EQ(traffic(), withFixedWaits);
}

TEST_P(EngineLineStatusTest, AnInvertedLineReadsAReleasedLevelAsAwake) {
  setenv("READER_ENGINE_STATUS", "!dsr", 1);  // the wiring's DSR is active-low
  ASSERT_NO_FATAL_FAILURE(runExpecting(kAnsweredAtOnce));
}

TEST_P(EngineLineStatusTest, AGpioLineIsRequestedOnceAsAnInputAndRead) {
  setenv("READER_ENGINE_STATUS", "gpio:/dev/gpiochip7:17", 1);
  ASSERT_NO_FATAL_FAILURE(runExpecting(kAnsweredAtOnce));

  EXPECT_EQ(gWiring.chipOpens, 1);
  EXPECT_EQ(gWiring.chipCloses, 1);  // the line's descriptor stands alone
  const gpio_v2_line_request request = gWiring.lineRequested();
  EXPECT_EQ(request.num_lines, 1u);
  EXPECT_EQ(request.offsets[0], 17u);
  EXPECT_EQ(request.config.flags, static_cast<std::uint64_t>(GPIO_V2_LINE_FLAG_INPUT));
}

TEST_P(EngineLineStatusTest, AMalformedValueIsReportedOnceAndTheFixedWaitsApply) {
  setenv("READER_ENGINE_STATUS", "cts17", 1);
  setenv("READER_TRACE", "1", 1);
  ASSERT_NO_FATAL_FAILURE(runExpecting(kNoStatusAtAll));
  const std::vector<std::string> reports = statusReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("\"cts17\""), std::string::npos) << reports[0];
}

TEST_P(EngineLineStatusTest, AMissingGpioChipIsReportedAndTheFixedWaitsApply) {
  setenv("READER_ENGINE_STATUS", "gpio:/dev/gpiochip9:3", 1);
  setenv("READER_TRACE", "1", 1);
  ASSERT_NO_FATAL_FAILURE(runExpecting(kNoStatusAtAll));
  EXPECT_EQ(gWiring.chipOpens, 0);
  const std::vector<std::string> reports = statusReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("/dev/gpiochip9"), std::string::npos) << reports[0];
}

TEST_P(EngineLineStatusTest, AnEngineThatNeverNoticesCostsTenPollsAndStillWorks) {
  setenv("READER_ENGINE_STATUS", "cts", 1);
  ASSERT_NO_FATAL_FAILURE(runExpecting(kNeverNoticed, std::nullopt));
}

INSTANTIATE_TEST_SUITE_P(SsiEngines, EngineLineStatusTest, ::testing::Values(3, 4),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

}  // namespace
