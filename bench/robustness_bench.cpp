// How quickly the reader lets go of a device: per device kind, with the
// device trickling (a byte every few milliseconds, never ending a frame) and
// with a device that is merely busy (a scan cycle waiting for its decode, a
// tag cycle going through its detections):
//   release  trigger up to the engine's switch-off reaching the engine;
//   halt     HaltReader while a cycle reads the device;
//   unload   dlclose of the module while a cycle waits on the device;
//   start    InitReader with the device trickling from the start (beside it,
//            the same start with the device silent: the probe waits the
//            protocol imposes either way), and the text engine trickling
//            only after its configuration request.
// The module is loaded with dlopen for each run, so that the unload is real.
//
//   robustness_bench [RUNS]   (default 5 runs per figure; median and worst)
#include <3100XE_DLL.h>
#include <readersim/readersim.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/loaded_module.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kPatience = 30s;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool dispatchUntil(testing_support::LoadedModule &module, const std::function<bool()> &done) {
  const auto deadline = Clock::now() + kPatience;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    module.dispatch(1);
  }
  return true;
}

std::size_t framesOf(const readersim::PtyDevice &device) { return device.framesReceived().size(); }

// The frames holding the engine's switch-off command.
std::size_t switchOffs(const readersim::PtyDevice &device) {
  std::size_t n = 0;
  for (const auto &frame : device.framesReceived()) {
    const std::string text(frame.begin(), frame.end());
    if (device.kind() == 2 ? text.find("OFF") != std::string::npos : frame.size() >= 2 && frame[1] == 0xE5) ++n;
  }
  return n;
}

struct Device {
  const char *name;
  int engineKind;
  int moduleKind;
  int scanTimeByte;
  int aimTime;  // variant 4: 100 ms units
};

// The device alone, at its working speed from the start.
readersim::TerminalConfig terminalFor(const Device &d) {
  readersim::TerminalConfig config;
  config.engineKind = d.engineKind;
  config.moduleKind = d.moduleKind;
  config.ssiEngine.startSpeed = d.engineKind == 4 ? 38400 : 115200;
  config.asciiModule.startSpeed = 57600;
  return config;
}

enum class What { Release, Halt, Unload };
enum class Load { Trickle, Busy };

// One measurement in ms; negative when the run failed.
double measureOnce(const Device &d, What what, Load load) {
  readersim::Terminal terminal(terminalFor(d));
  terminal.applyEnvironment();
  readersim::PtyDevice &device = d.engineKind != 0 ? *terminal.engine() : *terminal.module();
  testing_support::LoadedModule module(READER_MODULE_PATH);
  if (!module.loaded() || module.initReader() != READER_OK) return -1;
  module.setTriggerKey(1);
  if (d.engineKind != 0) {
    unsigned char record[READER_SETTINGS_RECORD_SIZE] = {};
    module.getReaderSettings(record);
    record[d.scanTimeByte] = 30;
    if (d.engineKind == 2) record[78] = 0;
    if (d.engineKind == 4) record[167] = static_cast<unsigned char>(d.aimTime);
    module.setReaderSettings(record);
    terminal.presentSilence();
  }
  const auto interval = d.moduleKind == 6 ? 25ms : 5ms;
  const std::size_t frames = framesOf(device);
  if (load == Load::Trickle) device.trickleFromFrame(interval, 1);
  module.triggerKey(1, 1);
  if (!dispatchUntil(module, [&] { return framesOf(device) > frames; })) return -1;
  if (load == Load::Trickle) {
    const std::size_t trickled = device.trickledBytes();
    if (!dispatchUntil(module, [&] { return device.trickledBytes() > trickled + 10; })) return -1;
  } else {
    const auto settle = Clock::now() + 50ms;  // into the wait on the device
    dispatchUntil(module, [&] { return Clock::now() >= settle; });
  }
  double took = -1;
  switch (what) {
    case What::Release: {
      const std::size_t offs = switchOffs(device);
      const auto start = Clock::now();
      module.triggerKey(1, 0);
      if (dispatchUntil(module, [&] { return switchOffs(device) > offs; })) took = msSince(start);
      module.haltReader(READER_DEVICE_ALL);
      break;
    }
    case What::Halt: {
      const auto start = Clock::now();
      module.haltReader(READER_DEVICE_ALL);
      took = msSince(start);
      break;
    }
    case What::Unload: {
      const auto start = Clock::now();
      if (module.unload()) took = msSince(start);
      break;
    }
  }
  device.stopTrickle();
  return took;
}

void measure(const Device &d, What what, Load load, int runs) {
  std::vector<double> values;
  for (int i = 0; i < runs; ++i) {
    const double v = measureOnce(d, what, load);
    if (v >= 0) values.push_back(v);
  }
  const char *whatName = what == What::Release ? "release" : what == What::Halt ? "halt" : "unload";
  const char *loadName = load == Load::Trickle ? "trickling" : "busy";
  if (values.empty()) {
    std::printf("%-28s %-8s %-10s %5s\n", d.name, whatName, loadName, "fail");
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%-28s %-8s %-10s %5zu %9.1f %9.1f\n", d.name, whatName, loadName, values.size(),
              values[values.size() / 2], values.back());
  std::fflush(stdout);
}

// InitReader's own time with the device trickling from the first frame
// (`fromFrame` 1), from a later one, or silent (`fromFrame` 0).
double startOnce(const Device &d, int fromFrame, bool silent) {
  readersim::Terminal terminal(terminalFor(d));
  terminal.applyEnvironment();
  readersim::PtyDevice &device = d.engineKind != 0 ? *terminal.engine() : *terminal.module();
  if (silent)
    device.setSilent(true);
  else
    device.trickleFromFrame(d.moduleKind == 6 ? 25ms : 5ms, fromFrame);
  testing_support::LoadedModule module(READER_MODULE_PATH);
  if (!module.loaded()) return -1;
  const auto start = Clock::now();
  module.initReader();
  const double took = msSince(start);
  module.haltReader(READER_DEVICE_ALL);
  device.stopTrickle();
  return took;
}

void measureStart(const Device &d, const char *label, int fromFrame, bool silent, int runs) {
  std::vector<double> values;
  for (int i = 0; i < runs; ++i) {
    const double v = startOnce(d, fromFrame, silent);
    if (v >= 0) values.push_back(v);
  }
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
  std::printf("%-28s %-8s %-10s %5zu %9.1f %9.1f\n", d.name, "start", label, values.size(), values[values.size() / 2],
              values.back());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // clang-format off
  const Device engines[] = {
      {"engine 2 (text)", 2, 0, 79, 0},
      {"engine 3 (SSI)", 3, 0, 283, 0},
      {"engine 4 (SSI)", 4, 0, 165, 0},
      {"engine 4 (SSI), aiming 10 s", 4, 0, 165, 100},
  };
  // clang-format on
  // clang-format off
  const Device modules[] = {
      {"module 5 (ASCII)", 0, 5, 0, 0},
      {"module 6 (hex frames)", 0, 6, 0, 0},
  };
  // clang-format on
  std::printf("%-28s %-8s %-10s %5s %9s %9s\n", "device", "what", "device is", "runs", "p50 ms", "max ms");
  for (const Device &d : engines) {
    if (d.aimTime == 0) measure(d, What::Release, Load::Trickle, runs);
    measure(d, What::Halt, Load::Trickle, runs);
    measure(d, What::Unload, Load::Trickle, runs);
    measure(d, What::Unload, Load::Busy, runs);
  }
  for (const Device &d : modules) {
    measure(d, What::Halt, Load::Trickle, runs);
    measure(d, What::Unload, Load::Trickle, runs);
    measure(d, What::Unload, Load::Busy, runs);
  }
  const int startRuns = std::min(runs, 3);
  for (const Device &d : engines) {
    if (d.aimTime != 0) continue;
    measureStart(d, "trickling", 1, false, startRuns);
    measureStart(d, "silent", 0, true, startRuns);
  }
  measureStart(engines[0], "trickle after SET", 2, false, startRuns);
  for (const Device &d : modules) {
    measureStart(d, "trickling", 1, false, startRuns);
    measureStart(d, "silent", 0, true, startRuns);
  }
  std::printf(
      "(release: trigger up to the engine's switch-off frame; halt: HaltReader's own time; unload:\n"
      " dlclose's own time; trickling: a byte every 5 ms, 25 ms for module 6, never a frame end;\n"
      " busy: a scan waiting for its decode, or a tag cycle without a tag)\n");
  return 0;
}
