// Scan latency: the time from a trigger press to the decode's announcement
// (WM_DECODEDATA), per engine kind at its working link speed, beside the time
// the wire and the protocol's fixed waits impose before the data is in; and
// the rate of the self-triggered loop against an engine that decodes every
// 10 ms.
//
// The simulated engines answer at the real byte time of their line speed;
// the library runs in this process, as an application would use it.
#include <3100XE_DLL.h>
#include <readersim/readersim.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "announcement_clock.h"

namespace {

using namespace bench;

// What the devices make the host wait for before a decode can be announced,
// with `n` data bytes. The text engine: its decode line (type letter, three
// characters, data, CR) at the line speed. The SSI engines: the start-decode
// write with the wake line's 100 ms before and 50 ms after it, during which
// the engine's answers arrive; the start's ACK and the decode packet that
// follows it count only where they outlast those 50 ms. The decode's ACK and
// the switch-off come after the data is in, and are not counted.
double imposedMs(int kind, std::size_t n, int speed) {
  if (kind == 2) return byteMs(4 + n + 1, speed);
  const double startAnswers = byteMs(6 + (6 + n + 2), speed);
  return 150.0 + std::max(0.0, startAnswers - 50.0);
}

struct Case {
  const char *name;
  int kind;
  std::size_t dataLength;
  int scans;
};

void measure(const Case &c) {
  readersim::TerminalConfig config;
  config.engineKind = c.kind;
  config.moduleKind = 0;
  config.ssiEngine.startSpeed = c.kind == 4 ? 38400 : 115200;
  config.pacing = true;
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  if (InitReader() != READER_OK) {
    std::printf("%-30s start failed\n", c.name);
    return;
  }
  SetTriggerKey(1);
  if (c.kind == 2) {  // the factory block triggers itself: press-driven here
    unsigned char record[READER_SETTINGS_RECORD_SIZE];
    GetReaderSettings(record);
    record[78] = 0;
    SetReaderSettings(record);
  }
  std::string data(c.dataLength, 'A');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('A' + i % 26);
  const readersim::Barcode barcode = readersim::barcodeOf("code128:" + data);

  // The frames of one whole cycle: after the announcement the cycle goes on
  // to acknowledge the decode (SSI) and switch the engine off (variant 4:
  // aim off first), and a press during that tail would wait for it.
  const std::size_t framesPerCycle = c.kind == 2 ? 2 : c.kind == 3 ? 3 : 4;
  std::vector<double> wall, imposed, overhead;
  for (int i = 0; i < c.scans; ++i) {
    terminal.presentBarcode(barcode);
    ReaderHostDispatch(0);
    const std::size_t framesBefore = terminal.engine()->framesReceived().size();
    const int target = gAnnounced + 1;
    const std::int64_t pressedAt = nowNs();
    ReaderHostTriggerKey(1, 1);
    if (!dispatchUntil(target, std::chrono::seconds(30))) {
      std::printf("%-30s scan %d: no announcement\n", c.name, i);
      break;
    }
    const double w = static_cast<double>(gAnnouncedAtNs - pressedAt) / 1e6;
    const double m = imposedMs(c.kind, c.dataLength, c.kind == 4 ? 38400 : 115200);
    wall.push_back(w);
    imposed.push_back(m);
    overhead.push_back(w - m);
    ReaderHostTriggerKey(1, 0);
    const auto tailDeadline = Clock::now() + std::chrono::seconds(30);
    while (terminal.engine()->framesReceived().size() < framesBefore + framesPerCycle && Clock::now() < tailDeadline)
      ReaderHostDispatch(10);
    // The last write's release wait and the reading of its answer.
    const auto tailEnd = Clock::now() + std::chrono::milliseconds(100);
    while (Clock::now() < tailEnd) ReaderHostDispatch(10);
  }
  HaltReader(READER_DEVICE_ALL);
  if (wall.empty()) return;
  const double p50 = percentile(wall, 0.5), p99 = percentile(wall, 0.99);
  const double i50 = percentile(imposed, 0.5), i99 = percentile(imposed, 0.99);
  std::printf("%-30s %5zu %9.2f %9.2f %9.2f %9.2f %7.3f %7.3f %9.3f %9.3f\n", c.name, wall.size(), p50, p99, i50, i99,
              p50 / i50, p99 / i99, percentile(overhead, 0.5), percentile(overhead, 0.99));
  std::fflush(stdout);
}

void selfTriggeredRate() {
  readersim::TerminalConfig config;
  config.engineKind = 2;
  config.moduleKind = 0;
  config.pacing = true;
  config.steadyBarcode = readersim::barcodeOf("ean8:12345670");
  config.repeatInterval = std::chrono::milliseconds(10);
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  if (InitReader() != READER_OK) return;
  unsigned char record[READER_SETTINGS_RECORD_SIZE];
  GetReaderSettings(record);
  record[78] = 1;
  const int before = gAnnounced;
  SetReaderSettings(record);
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(10)) ReaderHostDispatch(100);
  const int decodes = gAnnounced - before;
  record[78] = 0;
  SetReaderSettings(record);
  HaltReader(READER_DEVICE_ALL);
  std::printf(
      "\nself-triggered loop (kind 2, engine decoding every 10 ms, offering %.0f/s): %.2f decodes/s "
      "over 10 s\n",
      1000.0 / 10.0, decodes / 10.0);
}

}  // namespace

int main(int argc, char **argv) {
  const int scans = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  ReaderHostSetBroadcastListener(onBroadcast, nullptr);
  // clang-format off
  const Case cases[] = {
      {"engine 2 (text) 115200, 8 B", 2, 8, scans},
      {"engine 2 (text) 115200, 200 B", 2, 200, scans},
      {"engine 3 (SSI) 115200, 8 B", 3, 8, scans},
      {"engine 4 (SSI) 38400, 8 B", 4, 8, scans},
      {"engine 4 (SSI) 38400, 200 B", 4, 200, scans},
  };
  // clang-format on
  std::printf("%-30s %5s %9s %9s %9s %9s %7s %7s %9s %9s\n", "engine, link, data", "scans", "p50 ms", "p99 ms",
              "imp p50", "imp p99", "r p50", "r p99", "ovh p50", "ovh p99");
  for (const Case &c : cases) measure(c);
  std::printf(
      "(wall: press to WM_DECODEDATA; imposed: the engine's bytes at its line speed and, for SSI,\n"
      " the wake line's 100 + 50 ms around the start-decode write; r: wall / imposed;\n"
      " ovh: wall - imposed, ms)\n");
  selfTriggeredRate();
  ReaderHostSetBroadcastListener(nullptr, nullptr);
  return 0;
}
