// What the engine's wake-line status saves: kind-3 and kind-4 scans from the
// trigger press to the decode's announcement (WM_DECODEDATA), and
// GetReaderSettings, each without a status (the fixed 100 + 50 ms around
// every SSI write) and with READER_ENGINE_STATUS=cts answered at once (one
// 10 ms poll after the assert and one after the release), beside the time the
// protocol imposes.
//
// Pseudo-terminals have no modem lines, so this links the library's internal
// archive and wires the backend's system calls to the simulated engine: RTS
// drives the engine's wake line and CTS shows whether it is awake. The
// variable is read once per process; the rows without a status are measured
// with the status read failing (TIOCMGET refused, as a pseudo-terminal
// refuses it), which the library treats exactly as no status source.
//
// The simulated engines answer at the real byte time of their line speed;
// the library runs in this process, as an application would use it.
#include <3100XE_DLL.h>
#include <readersim/readersim.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "announcement_clock.h"
#include "platform/posix/device_calls.h"

namespace {

using namespace bench;

constexpr double kFixedAssertMs = 100, kFixedReleaseMs = 50;  // no status
constexpr double kPollMs = 10;                                // one poll each way

// --- the wiring: the engine's RTS and CTS through the backend's system calls

std::atomic<readersim::SsiEngine *> gEngine{nullptr};
std::string gEnginePath;  // set while no library thread runs
std::atomic<bool> gStatusAnswers{false};
std::atomic<long> gStatusReads{0};
std::atomic<long> gWakeAsserts{0};

int wiredModemLines(int fd, unsigned long request, int *bits) {
  char name[128];
  readersim::SsiEngine *engine = gEngine;
  if (engine == nullptr || ttyname_r(fd, name, sizeof name) != 0 || gEnginePath != name)
    return ::ioctl(fd, request, bits);
  if (request == TIOCMGET) {
    ++gStatusReads;
    if (!gStatusAnswers) {
      errno = ENOTTY;
      return -1;
    }
    *bits = engine->awake() ? TIOCM_CTS : 0;
    return 0;
  }
  if ((*bits & TIOCM_RTS) != 0) {
    if (request == TIOCMBIS) ++gWakeAsserts;
    engine->setWakeLine(request == TIOCMBIS);
  }
  return 0;
}

const reader::platform::posix::DeviceCalls kWiredCalls{
    wiredModemLines,
    [](const char *, int) { return errno = ENOENT, -1; },
    [](int fd) { return ::close(fd); },
    [](int, unsigned long, void *) { return errno = ENOTTY, -1; },
};

// --- measuring ----------------------------------------------------------------

// One SSI write and the engine's answers to it: the wait after the assert,
// then the wait after the release (or before it, without a status), during
// which the answers arrive; they count only where they outlast that wait.
double exchangeMs(bool status, double answersMs) {
  const double first = status ? kPollMs : kFixedAssertMs;
  const double second = status ? kPollMs : kFixedReleaseMs;
  return first + std::max(second, answersMs);
}

// Every frame these engines receive here is answered, but for the host's
// acknowledgements of decodes; an answer is logged once it is out, which may
// be just after the host has it.
void settle(const readersim::SsiEngine &engine) {
  const std::size_t acks = engine.decodesAcknowledged();
  engine.waitForAnswers(engine.framesReceived().size() - acks, std::chrono::seconds(5));
}

// A scan cycle goes on after its announcement, with the decode's
// acknowledgement and the stop decode, each behind its wake-line waits; a
// press before it ended would wait for it. The next press comes 200 ms after
// the stop decode was answered, as a person's would (and readerctl watch's).
bool cycleEnded(const readersim::SsiEngine &engine, std::size_t stops) {
  using Event = readersim::SsiEngine::Event;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  for (;;) {
    const auto events = engine.events();
    if (static_cast<std::size_t>(std::count(events.begin(), events.end(), Event::StopDecode)) >= stops) break;
    if (Clock::now() > deadline) return false;
    ReaderHostDispatch(10);
  }
  settle(engine);
  const auto next = Clock::now() + std::chrono::milliseconds(200);
  while (Clock::now() < next) ReaderHostDispatch(20);
  return true;
}

// The imposed time of the exchanges logged from record `from` on.
double imposedSince(const readersim::SsiEngine &engine, std::size_t from, bool status, int speed) {
  const auto records = engine.log().snapshot();
  double total = 0;
  std::size_t answerBytes = 0;
  bool inExchange = false;
  for (std::size_t i = from; i < records.size(); ++i) {
    if (records[i].isFrame()) {
      if (inExchange) total += exchangeMs(status, byteMs(answerBytes, speed));
      inExchange = true;
      answerBytes = 0;
    } else if (records[i].isSentAnswer()) {
      answerBytes += records[i].bytes.size();
    }
  }
  if (inExchange) total += exchangeMs(status, byteMs(answerBytes, speed));
  return total;
}

struct Row {
  std::string name;
  std::vector<double> wall, imposed;
  double readsPerWrite = 0;
};

void print(const Row &row) {
  if (row.wall.empty()) return;
  std::printf("%-50s %5zu %9.2f %9.2f %9.2f %9.2f %7.2f\n", row.name.c_str(), row.wall.size(),
              percentile(row.wall, 0.5), percentile(row.wall, 0.99), percentile(row.imposed, 0.5),
              percentile(row.imposed, 0.99), row.readsPerWrite);
  std::fflush(stdout);
}

void measureKind(int kind, bool status, int runs) {
  const int speed = kind == 4 ? 38400 : 115200;
  readersim::TerminalConfig config;
  config.engineKind = kind;
  config.moduleKind = 0;
  config.ssiEngine.startSpeed = speed;
  config.pacing = true;
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  gEnginePath = terminal.engine()->portPath();
  gEngine = terminal.ssiEngine();
  gStatusAnswers = status;
  const char *mode = status ? "cts" : "no status";
  char label[64];
  std::snprintf(label, sizeof label, "engine %d (SSI) %d", kind, speed);
  if (InitReader() != READER_OK) {
    std::printf("%s, %s: start failed\n", label, mode);
    gEngine = nullptr;
    return;
  }
  SetTriggerKey(1);
  readersim::SsiEngine &engine = *terminal.ssiEngine();
  const readersim::Barcode barcode = readersim::barcodeOf("code128:ABCDEFGH");

  Row scan{std::string(label) + " scan, 8 B, " + mode, {}, {}, 0};
  const long readsBefore = gStatusReads, assertsBefore = gWakeAsserts;
  for (int i = 0; i < runs; ++i) {
    settle(engine);
    terminal.presentBarcode(barcode);
    ReaderHostDispatch(0);
    const int target = gAnnounced + 1;
    const std::int64_t pressedAt = nowNs();
    ReaderHostTriggerKey(1, 1);
    if (!dispatchUntil(target, std::chrono::seconds(30))) {
      std::printf("%s: scan %d: no announcement\n", scan.name.c_str(), i);
      break;
    }
    scan.wall.push_back(static_cast<double>(gAnnouncedAtNs - pressedAt) / 1e6);
    // The start-decode exchange, its ACK and the decode packet (8 data
    // bytes), stands between the press and the data; what follows does not.
    scan.imposed.push_back(exchangeMs(status, byteMs(6 + (6 + 8 + 2), speed)));
    ReaderHostTriggerKey(1, 0);
    if (!cycleEnded(engine, static_cast<std::size_t>(i) + 1)) {
      std::printf("%s: scan %d: the cycle did not end\n", scan.name.c_str(), i);
      break;
    }
  }

  Row settings{std::string(label) + " GetReaderSettings, " + mode, {}, {}, 0};
  unsigned char record[READER_SETTINGS_RECORD_SIZE];
  for (int i = 0; i < runs; ++i) {
    settle(engine);
    const std::size_t from = engine.log().size();
    const auto start = Clock::now();
    if (GetReaderSettings(record) != 1) {
      std::printf("%s: call %d failed\n", settings.name.c_str(), i);
      break;
    }
    settings.wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    settle(engine);
    settings.imposed.push_back(imposedSince(engine, from, status, speed));
  }
  const long asserts = gWakeAsserts - assertsBefore;
  const double readsPerWrite = asserts > 0 ? static_cast<double>(gStatusReads - readsBefore) / asserts : 0;
  scan.readsPerWrite = settings.readsPerWrite = readsPerWrite;
  HaltReader(READER_DEVICE_ALL);
  gEngine = nullptr;
  print(scan);
  print(settings);
}

}  // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  setenv("READER_ENGINE_STATUS", "cts", 1);
  reader::platform::posix::setDeviceCallsForTesting(&kWiredCalls);
  ReaderHostSetBroadcastListener(onBroadcast, nullptr);
  std::printf("%-50s %5s %9s %9s %9s %9s %7s\n", "engine, link, call, status", "runs", "p50 ms", "p99 ms", "imp p50",
              "imp p99", "q/write");
  for (int kind : {3, 4}) {
    measureKind(kind, false, runs);
    measureKind(kind, true, runs);
  }
  std::printf(
      "(scan: press to WM_DECODEDATA; GetReaderSettings: the call's wall time. imposed: per SSI write\n"
      " the wake line's waits, 100 ms after the assert and 50 ms before the release without a status,\n"
      " one 10 ms poll after each with one answering at once, and the engine's answers at the line\n"
      " speed where they outlast the second wait; for a scan only the start-decode exchange.\n"
      " q/write: status reads per SSI write, 2 without a status (both fail), 4 answered at once)\n");
  ReaderHostSetBroadcastListener(nullptr, nullptr);
  reader::platform::posix::setDeviceCallsForTesting(nullptr);
  return 0;
}
