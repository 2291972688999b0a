#include "callers/simulated_reader.h"

#include <3100XE_DLL.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace readerfuzz {

namespace {

std::unique_ptr<readersim::Terminal> terminal;

}  // namespace

readersim::Terminal &startSimulatedReader(const readersim::TerminalConfig &config) {
  terminal = std::make_unique<readersim::Terminal>(config);
  terminal->applyEnvironment();
  const int started = InitReader();
  if (started != READER_OK) {
    std::fprintf(stderr, "the simulated reader did not start: %d\n", started);
    std::abort();
  }
  return *terminal;
}

void forgetSimulatedTraffic() {
  if (!terminal) return;
  for (readersim::PtyDevice *device : {terminal->engine(), terminal->module()})
    if (device != nullptr) device->log().clear();
}

}  // namespace readerfuzz
