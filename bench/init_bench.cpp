// Start-up cost: the wall time of InitReader and InitReaderEx for each kind
// of device, beside the waits the devices' protocols impose (fixed pauses,
// answer time-outs, frame-end silences and the bytes' time on the line),
// and the CPU time the library uses while idle with both devices open.
//
// Each measurement runs the library in a fresh child process (a fresh load);
// the simulated devices run in this process, answering at the real byte time
// of their line speed.
#include <3100XE_DLL.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <readersim/readersim.h>
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
Waits waitsOf(const readersim::PtyDevice &device) {
  Waits waits;
  double &ms = waits.imposedMs;
  const auto records = device.log().snapshot();
  for (std::size_t i = 0; i < records.size(); ++i) {
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
};

Row measure(const Case &c, bool ex) {
  readersim::TerminalConfig config;
  config.engineKind = c.engineKind;
  config.moduleKind = c.moduleKind;
  config.ssiEngine.startSpeed = c.startSpeed;
  config.asciiModule.startSpeed = c.startSpeed;
  config.pacing = true;
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  const ChildResult child = inChild([ex] {
    const auto start = Clock::now();
    const int result = ex ? InitReaderEx() : InitReader();
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    HaltReader(READER_DEVICE_ALL);
    return ChildResult{result, wall, 0};
  });
  Waits waits;
  for (readersim::PtyDevice *device : {terminal.engine(), terminal.module()}) {
    if (device == nullptr) continue;
    const Waits w = waitsOf(*device);
    waits.imposedMs += w.imposedMs;
    waits.hostLineMs += w.hostLineMs;
  }
  if (terminal.engine()) waits.imposedMs += 500;          // the engine's settle pause
  if (c.moduleKind == 5) waits.imposedMs += 100;          // the set-up's pause
  return {std::string(c.name) + (ex ? "  InitReaderEx" : "  InitReader"), child.result, child.wallMs, waits};
}

}  // namespace

int main() {
  const Case cases[] = {
      {"engine 2 (text)           ", 2, 0, 9600},
      {"engine 3 (SSI) at 115200  ", 3, 0, 115200},
      {"engine 3 (SSI) at 9600    ", 3, 0, 9600},
      {"engine 4 (SSI) at 38400   ", 4, 0, 38400},
      {"engine 4 (SSI) at 9600    ", 4, 0, 9600},
      {"module 5 (ASCII) at 57600 ", 0, 5, 57600},
      {"module 5 (ASCII) at 9600  ", 0, 5, 9600},
      {"module 6 (hex frames)     ", 0, 6, 115200},
  };
  std::printf("%-42s %7s %10s %12s %7s %14s\n", "device, start", "result", "wall ms", "imposed ms", "ratio",
              "host line ms");
  for (const Case &c : cases) {
    for (bool ex : {false, true}) {
      const Row row = measure(c, ex);
      std::printf("%-42s %7d %10.1f %12.1f %7.3f %14.1f\n", row.name.c_str(), row.result, row.wallMs,
                  row.waits.imposedMs, row.waits.imposedMs > 0 ? row.wallMs / row.waits.imposedMs : 0.0,
                  row.waits.hostLineMs);
      std::fflush(stdout);
    }
  }
  std::printf("(imposed: device answers at their line speed, fixed pauses, frame-end silences, answer\n"
              " time-outs; host line: the host's own bytes, which a real line would add and a\n"
              " pseudo-terminal does not)\n");

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
