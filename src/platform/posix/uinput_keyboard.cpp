#include "platform/posix/uinput_keyboard.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/terminal_config.h"
#include "platform/posix/uinput_calls.h"

namespace reader::platform::posix {
namespace {

constexpr char kDeviceName[] = "reader3100xe keyboard wedge";
// No registered vendor: a fixed pair lets a udev rule or a desktop's
// keyboard settings pick the wedge out.
constexpr std::uint16_t kVendor = 0x3100;
constexpr std::uint16_t kProduct = 0x00E5;

std::string systemReason(int error) { return std::strerror(error); }

bool setValue(int fd, unsigned long request, unsigned long value) {
  return uinputCalls().controlValue(fd, request, value) == 0;
}

// Describes the device: UI_DEV_SETUP, or on kernels before 4.5, which do
// not know it, the older description written to the device.
bool describe(int fd) {
  uinput_setup setup{};
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = kVendor;
  setup.id.product = kProduct;
  setup.id.version = 1;
  static_assert(sizeof kDeviceName <= sizeof setup.name);
  std::memcpy(setup.name, kDeviceName, sizeof kDeviceName);
  if (uinputCalls().controlData(fd, UI_DEV_SETUP, &setup) == 0) return true;
  if (errno != EINVAL && errno != ENOTTY) return false;
  uinput_user_dev device{};
  std::memcpy(device.name, kDeviceName, sizeof kDeviceName);
  device.id = setup.id;
  return uinputCalls().writeDevice(fd, &device, sizeof device) == static_cast<ssize_t>(sizeof device);
}

}  // namespace

std::unique_ptr<UinputKeyboard> UinputKeyboard::create(const std::string &path,
                                                       const std::vector<std::uint16_t> &keys) {
  const UinputCalls &calls = uinputCalls();
  int fd = calls.openDevice(path.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd < 0) {
    reportTerminalProblem("keyboard wedge: cannot open " + path + ": " + systemReason(errno));
    return nullptr;
  }
  bool ready = setValue(fd, UI_SET_EVBIT, EV_KEY) && setValue(fd, UI_SET_EVBIT, EV_SYN);
  for (std::size_t i = 0; ready && i < keys.size(); ++i) ready = setValue(fd, UI_SET_KEYBIT, keys[i]);
  ready = ready && describe(fd) && setValue(fd, UI_DEV_CREATE, 0);
  if (!ready) {
    int error = errno;
    calls.closeDevice(fd);
    reportTerminalProblem("keyboard wedge: cannot create a keyboard on " + path + ": " + systemReason(error));
    return nullptr;
  }
  return std::unique_ptr<UinputKeyboard>(new UinputKeyboard(fd, path));
}

UinputKeyboard::~UinputKeyboard() {
  uinputCalls().controlValue(fd_, UI_DEV_DESTROY, 0);
  uinputCalls().closeDevice(fd_);
}

bool UinputKeyboard::type(KeyStroke stroke) {
  if (!stroke.shift) {
    const std::uint16_t codes[] = {stroke.code, stroke.code};
    const bool pressed[] = {true, false};
    return writeChanges(codes, pressed, 2);
  }
  const std::uint16_t codes[] = {KEY_LEFTSHIFT, stroke.code, stroke.code, KEY_LEFTSHIFT};
  const bool pressed[] = {true, true, false, false};
  return writeChanges(codes, pressed, 4);
}

bool UinputKeyboard::key(std::uint16_t code, bool pressed) { return writeChanges(&code, &pressed, 1); }

// One write for all the changes, each followed by its SYN_REPORT; the time
// stays zero, the kernel stamps the events itself.
bool UinputKeyboard::writeChanges(const std::uint16_t *codes, const bool *pressed, std::size_t count) {
  input_event events[8]{};
  std::size_t used = 0;
  for (std::size_t i = 0; i < count && used + 2 <= std::size(events); ++i) {
    events[used].type = EV_KEY;
    events[used].code = codes[i];
    events[used].value = pressed[i] ? 1 : 0;
    events[used + 1].type = EV_SYN;
    events[used + 1].code = SYN_REPORT;
    used += 2;
  }
  const char *bytes = reinterpret_cast<const char *>(events);
  std::size_t left = used * sizeof(input_event);
  while (left > 0) {
    ssize_t written = uinputCalls().writeDevice(fd_, bytes, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reportTerminalProblem("keyboard wedge: cannot type on " + path_ + ": " +
                            (written < 0 ? systemReason(errno) : std::string("nothing written")));
      return false;
    }
    bytes += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace reader::platform::posix
