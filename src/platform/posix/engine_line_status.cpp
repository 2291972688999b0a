// The scan engine's wake-line status on Linux, read from the source that
// the terminal setting READER_ENGINE_STATUS (the environment, else the
// configuration file) names (engine_status_source.h): a modem status line
// of the engine's own port (TIOCMGET), or a GPIO line through the kernel's
// GPIO character device. An asserted (active) level means the engine has
// noticed the asserted wake line (status 0), a released one that it has
// noticed the release (status 1); '!' swaps the two. Without the setting,
// with a value of no known form, or with a source that cannot be read, no
// status is available and the core uses its fixed waits.
//
// The setting is read once, at the first query; a value of no known form,
// or a GPIO line that cannot be had, is reported once as a terminal problem
// (on the trace, and in the start's message). A GPIO line is requested as an
// input once and kept until the module unloads.
#include "platform/engine_line_status.h"

#include <fcntl.h>
#if __has_include(<linux/gpio.h>)
#  include <linux/gpio.h>
#endif

#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "platform/posix/device_calls.h"
#include "platform/posix/engine_status_source.h"
#include "platform/posix/process_state.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/terminal_setting_origin.h"
#include "platform/serial_port.h"

namespace reader::platform {
namespace {

using posix::EngineStatusSource;

constexpr const char *kVariable = "READER_ENGINE_STATUS";

void report(const std::string &origin, const std::string &text) {
  posix::reportTerminalProblem(origin + ": " + text + "; the fixed waits apply");
}

struct EngineStatus {
  std::once_flag readOnce;
  std::optional<EngineStatusSource> source;
  int gpioLineFd = -1;

  ~EngineStatus() {
    if (gpioLineFd >= 0) posix::deviceCalls().closeDevice(gpioLineFd);
  }
};

READER_PROCESS_STATE posix::ProcessState<EngineStatus> gEngineStatus;

// The requested line's descriptor, or -1 with errno set.
int requestGpioLine(const EngineStatusSource &source) {
#ifdef GPIO_V2_GET_LINE_IOCTL
  const posix::DeviceCalls &calls = posix::deviceCalls();
  const int chip = calls.openDevice(source.chipPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (chip < 0) return -1;
  gpio_v2_line_request request{};
  request.offsets[0] = source.gpioLine;
  request.num_lines = 1;
  request.config.flags = GPIO_V2_LINE_FLAG_INPUT;
  std::strncpy(request.consumer, "3100XE_DLL engine status", sizeof request.consumer - 1);
  const int result = calls.gpioControl(chip, GPIO_V2_GET_LINE_IOCTL, &request);
  const int error = errno;
  calls.closeDevice(chip);  // the line's own descriptor stands alone
  if (result != 0) {
    errno = error;
    return -1;
  }
  return request.fd;
#else
  static_cast<void>(source);
  errno = ENOTSUP;  // headers without the GPIO line interface
  return -1;
#endif
}

bool readGpioLevel(int lineFd, bool &level) {
#ifdef GPIO_V2_LINE_GET_VALUES_IOCTL
  gpio_v2_line_values values{};
  values.mask = 1;
  if (posix::deviceCalls().gpioControl(lineFd, GPIO_V2_LINE_GET_VALUES_IOCTL, &values) != 0) return false;
  level = (values.bits & 1) != 0;
  return true;
#else
  static_cast<void>(lineFd);
  static_cast<void>(level);
  return false;
#endif
}

void readSetting(EngineStatus &state) {
  const std::optional<posix::TerminalSettingWithOrigin> setting = posix::terminalSettingWithOrigin(kVariable);
  if (!setting || setting->value.empty()) return;
  state.source = posix::parseEngineStatusSource(setting->value);
  if (!state.source) {
    report(setting->origin, "\"" + setting->value +
                                "\" is no status source (cts, dsr, dcd, cd, ri or gpio:CHIP:LINE, optionally after !)");
    return;
  }
  if (state.source->kind != EngineStatusSource::Kind::Gpio) return;
  state.gpioLineFd = requestGpioLine(*state.source);
  if (state.gpioLineFd < 0) {
    const int error = errno;
    report(setting->origin, state.source->chipPath + " line " + std::to_string(state.source->gpioLine) + ": " +
                                std::generic_category().message(error) + " (errno " + std::to_string(error) + ")");
    state.source.reset();
  }
}

}  // namespace

bool queryEngineLineStatus(const SerialPort *port, std::uint32_t &status) {
  EngineStatus *state = gEngineStatus.get();
  if (state == nullptr) return false;
  std::call_once(state->readOnce, readSetting, std::ref(*state));
  if (!state->source) return false;
  bool asserted = false;
  if (state->source->kind == EngineStatusSource::Kind::Gpio) {
    if (!readGpioLevel(state->gpioLineFd, asserted)) return false;
  } else {
    unsigned lines = 0;
    if (port == nullptr || !port->readModemLines(lines)) return false;
    asserted = (lines & state->source->modemLine) != 0;
  }
  if (state->source->inverted) asserted = !asserted;
  status = asserted ? 0 : 1;
  return true;
}

}  // namespace reader::platform
