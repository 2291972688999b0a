// Start-up cost: the wall time of InitReader and InitReaderEx for each kind
// of device and for each pair of engine and module, and of
// ResetReaderToDefault, beside the waits the devices' protocols impose
// (fixed pauses, answer time-outs, frame-end silences and the bytes' time on
// the line); and the CPU time the library uses while idle with both devices
// open. The engine and the module are separate devices on separate ports:
// for a pair, the longer of their two waits is what a start must take, their
// sum what it takes when one device waits for the other.
//
// Each measurement runs the library in a fresh child process (a fresh load);
// the simulated devices run in this process, answering at the real byte time
// of their line speed.
#include <3100XE_DLL.h>
#include <readersim/readersim.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  const char *name;
  int engineKind;
  int moduleKind;
  int startSpeed;  // where an SSI engine or the ASCII module starts
};

struct ChildResult {
  int result = 0;
  double wallMs = 0;
  double cpuMs = 0;
};

double cpuMsOf(const rusage &usage) {
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
}

// Runs `body` in a child process and returns what it wrote back.
template <class Body>
ChildResult inChild(Body body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    const ChildResult result = body();
    (void)!write(pipeFds[1], &result, sizeof result);
    _exit(0);
  }
  close(pipeFds[1]);
  ChildResult result;
  if (read(pipeFds[0], &result, sizeof result) != sizeof result) result.result = -9999;
  close(pipeFds[0]);
  waitpid(pid, nullptr, 0);
  return result;
}

double byteMs(std::size_t bytes, int speed) { return speed > 0 ? bytes * 10.0 * 1000.0 / speed : 0.0; }

struct Waits {
  double imposedMs = 0;   // what the devices and the protocol make the host wait
  double hostLineMs = 0;  // the host's own bytes on a real line (a pseudo-terminal takes them at once)
};

// The waits the protocol itself imposes on the host, read off a device's
// traffic: the device's answer bytes at its line speed, the fixed pauses of
// the kind, the silence that ends a hex-module answer, and a full answer
// time-out for every command the device did not answer.
Waits waitsOf(const readersim::PtyDevice &device, std::size_t from = 0) {
  Waits waits;
  double &ms = waits.imposedMs;
  const auto records = device.log().snapshot();
  for (std::size_t i = from; i < records.size(); ++i) {
    const readersim::TrafficRecord &r = records[i];
    if (r.type == readersim::RecordType::FromHost) {
      waits.hostLineMs += byteMs(r.bytes.size(), r.hostSpeed);
      const bool noise = r.has(readersim::traffic_flag::kGarbled) || r.has(readersim::traffic_flag::kIgnored);
      if (device.kind() == 3 || device.kind() == 4) ms += 150;  // the wake line's fixed waits per write
      bool answered = false;
      for (std::size_t j = i + 1; j < records.size() && records[j].type != readersim::RecordType::FromHost; ++j)
        answered = answered || records[j].isSentAnswer();
      if (noise || !answered) ms += 1000;
    } else if (r.isSentAnswer()) {
      ms += byteMs(r.bytes.size(), r.deviceSpeed);
      if (device.kind() == 6) ms += 40;
    }
  }
  return waits;
}

struct Row {
  std::string name;
  int result;
  double wallMs;
  Waits waits;
  double longerMs = 0;  // the longer of the two devices' imposed waits
};

enum class Call { InitReader, InitReaderEx, Reset };

const char *callName(Call call) {
  switch (call) {
    case Call::InitReader: return "  InitReader";
    case Call::InitReaderEx: return "  InitReaderEx";
    case Call::Reset: return "  Reset";
  }
  return "";
}

// Runs `call` on a fresh load of the library; for the reset, the library is
// started first and only the reset is timed.
ChildResult runCall(Call call) {
  if (call == Call::Reset && InitReader() != READER_OK) return ChildResult{-9998, 0, 0};
  const auto start = Clock::now();
  const int result = call == Call::InitReaderEx ? InitReaderEx()
                     : call == Call::InitReader ? InitReader()
                                                : ResetReaderToDefault(READER_DEVICE_ALL);
  const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  HaltReader(READER_DEVICE_ALL);
  return ChildResult{result, wall, 0};
}

Waits waitsOfDevice(const readersim::Terminal &terminal, readersim::PtyDevice *device, std::size_t from = 0) {
  if (device == nullptr) return {};
  Waits w = waitsOf(*device, from);
  if (device == terminal.engine()) w.imposedMs += 500;  // the engine's settle pause
  if (device->kind() == 5) w.imposedMs += 100;          // the set-up's pause
  return w;
}

Row measure(const Case &c, Call call) {
  // The reset's own waits: those of a start and reset less those of a start.
  const Waits startWaits = call == Call::Reset ? measure(c, Call::InitReader).waits : Waits{};
  readersim::TerminalConfig config;
  config.engineKind = c.engineKind;
  config.moduleKind = c.moduleKind;
  config.ssiEngine.startSpeed = c.startSpeed;
  config.asciiModule.startSpeed = c.startSpeed;
  config.pacing = true;
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  const ChildResult child = inChild([call] { return runCall(call); });
  Row row{std::string(c.name) + callName(call), child.result, child.wallMs, {}};
  if (call == Call::Reset) {
    row.waits = waitsOfDevice(terminal, terminal.engine());
    row.waits.imposedMs -= startWaits.imposedMs;
    row.waits.hostLineMs -= startWaits.hostLineMs;
    row.longerMs = row.waits.imposedMs;
    return row;
  }
  for (readersim::PtyDevice *device : {terminal.engine(), terminal.module()}) {
    const Waits w = waitsOfDevice(terminal, device);
    row.waits.imposedMs += w.imposedMs;
    row.waits.hostLineMs += w.hostLineMs;
    row.longerMs = std::max(row.longerMs, w.imposedMs);
  }
  return row;
}

void print(const Row &row) {
  std::printf("%-40s %7d %10.1f %10.1f %10.1f %7.3f %10.1f\n", row.name.c_str(), row.result, row.wallMs, row.longerMs,
              row.waits.imposedMs, row.longerMs > 0 ? row.wallMs / row.longerMs : 0.0, row.waits.hostLineMs);
  std::fflush(stdout);
}

}  // namespace

int main() {
  // clang-format off
  const Case cases[] = {
      {"engine 2 (text)", 2, 0, 9600},
      {"engine 3 (SSI) at 115200", 3, 0, 115200},
      {"engine 3 (SSI) at 9600", 3, 0, 9600},
      {"engine 4 (SSI) at 38400", 4, 0, 38400},
      {"engine 4 (SSI) at 9600", 4, 0, 9600},
      {"module 5 (ASCII) at 57600", 0, 5, 57600},
      {"module 5 (ASCII) at 9600", 0, 5, 9600},
      {"module 6 (hex frames)", 0, 6, 115200},
  };
  // clang-format on
  // Cold pairs: every device at 9600, as after a power cycle.
  // clang-format off
  const Case pairs[] = {
      {"engine 2 + module 5", 2, 5, 9600}, {"engine 2 + module 6", 2, 6, 9600},
      {"engine 3 + module 5", 3, 5, 9600}, {"engine 3 + module 6", 3, 6, 9600},
      {"engine 4 + module 5", 4, 5, 9600}, {"engine 4 + module 6", 4, 6, 9600},
  };
  // clang-format on
  // clang-format off
  const Case resets[] = {
      {"engine 2 (text)", 2, 0, 9600},
      {"engine 3 (SSI)", 3, 0, 115200},
      {"engine 4 (SSI)", 4, 0, 38400},
  };
  // clang-format on
  std::printf("%-40s %7s %10s %10s %10s %7s %10s\n", "device, start", "result", "wall ms", "imposed", "sum", "ratio",
              "host line");
  for (const Case &c : cases)
    for (Call call : {Call::InitReader, Call::InitReaderEx}) print(measure(c, call));
  for (const Case &c : pairs)
    for (Call call : {Call::InitReader, Call::InitReaderEx}) print(measure(c, call));
  for (const Case &c : resets) print(measure(c, Call::Reset));
  std::printf(
      "(imposed: the longer of the two devices' waits, which a start of both at once can reach;\n"
      " sum: both devices' waits, one after the other. A device's waits: its answers at its line\n"
      " speed, fixed pauses, frame-end silences, answer time-outs. ratio: wall / imposed. host\n"
      " line: the host's own bytes, which a real line would add and a pseudo-terminal does not.\n"
      " Reset: ResetReaderToDefault after a start, only the reset timed)\n");

  // Idle cost: both devices open, nothing happening, for 10 s.
  readersim::TerminalConfig config;
  config.engineKind = 2;
  config.moduleKind = 6;
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  const ChildResult idle = inChild([] {
    const int result = InitReader();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    getrusage(RUSAGE_SELF, &after);
    HaltReader(READER_DEVICE_ALL);
    return ChildResult{result, 10000, cpuMsOf(after) - cpuMsOf(before)};
  });
  std::printf("\nidle 10 s with engine 2 and module 6 open (start result %d): library CPU %.2f ms (%.4f%%)\n",
              idle.result, idle.cpuMs, idle.cpuMs / 100.0);
  return 0;
}
