#include "platform/posix/trigger_keys.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/posix/evdev_key_names.h"
#include "platform/posix/evdev_trigger.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/x11_trigger.h"
#include "platform/thread.h"

namespace reader::platform::posix {
namespace {

constexpr const char *kKeySettings[2] = {"READER_TRIGGER1_KEY", "READER_TRIGGER2_KEY"};

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A setting's value without surrounding blanks; an empty one counts as unset.
std::optional<std::string> setting(const char *name) {
  std::optional<std::string> value = terminalSetting(name);
  if (!value) return std::nullopt;
  std::string text(trimmed(*value));
  if (text.empty()) return std::nullopt;
  return text;
}

using ReaderConfig = std::variant<std::monostate, EvdevTriggerConfig, X11TriggerConfig>;

X11TriggerConfig x11Config(const std::string &list) {
  X11TriggerConfig config;
  std::string_view rest = list;
  for (int trigger = 0; trigger < 2 && !rest.empty(); ++trigger) {
    auto comma = rest.find(',');
    std::string_view item = trimmed(rest.substr(0, comma));
    if (!item.empty()) config.keys[trigger] = std::string(item);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  if (!trimmed(rest).empty()) {
    reportTerminalProblem("READER_TRIGGER_X11: only two keys are read (trigger 1, trigger 2); ignored: " +
                          std::string(rest));
  }
  if (!config.keys[0] && !config.keys[1]) reportTerminalProblem("READER_TRIGGER_X11 names no key");
  return config;
}

// What the settings ask for; every fault in them reported. Nothing (monostate)
// when no trigger is configured or the configuration cannot work.
ReaderConfig readConfig() {
  std::optional<std::string> x11 = setting("READER_TRIGGER_X11");
  std::optional<std::string> device = setting("READER_TRIGGER_DEVICE");
  if (x11) {
    if (device) reportTerminalProblem("READER_TRIGGER_DEVICE is ignored: READER_TRIGGER_X11 is set");
    X11TriggerConfig config = x11Config(*x11);
    if (!config.keys[0] && !config.keys[1]) return {};
    return config;
  }
  EvdevTriggerConfig config;
  bool anyKeySetting = false;
  for (int trigger = 0; trigger < 2; ++trigger) {
    std::optional<std::string> name = setting(kKeySettings[trigger]);
    if (!name) continue;
    anyKeySetting = true;
    config.keys[trigger] = evdevKeyCode(*name);
    if (!config.keys[trigger]) {
      reportTerminalProblem(std::string(kKeySettings[trigger]) + ": \"" + *name +
                            "\" is neither a key name (KEY_F13...) nor a key code from 1 to " +
                            std::to_string(kEvdevKeyMax));
    }
  }
  if (!device) {
    if (anyKeySetting) reportTerminalProblem("trigger keys are set but READER_TRIGGER_DEVICE is not");
    return {};
  }
  if (!anyKeySetting) {
    reportTerminalProblem("READER_TRIGGER_DEVICE is set but neither READER_TRIGGER1_KEY nor READER_TRIGGER2_KEY");
  }
  if (!config.keys[0] && !config.keys[1]) return {};
  config.device = *device;
  if (config.device == "name:") {
    reportTerminalProblem("READER_TRIGGER_DEVICE: \"name:\" names no device");
    return {};
  }
  if (std::optional<std::string> grab = setting("READER_TRIGGER_GRAB")) {
    if (*grab == "1") {
      config.grab = true;
    } else if (*grab != "0") {
      reportTerminalProblem("READER_TRIGGER_GRAB: \"" + *grab + "\" is neither 1 nor 0; the device is not grabbed");
    }
  }
  return config;
}

// The running reader: its thread and the descriptor that stops it.
struct Reader {
  int stopFd = -1;
  std::unique_ptr<Thread> thread;
};

std::mutex gMutex;
Reader gReader;  // guarded by gMutex

}  // namespace

void startTriggerKeys() {
  std::lock_guard lock(gMutex);
  if (gReader.thread && !gReader.thread->finished()) return;
  if (gReader.thread) {
    // The reader gave up on its own (its display went away): start afresh.
    gReader.thread.reset();
    ::close(gReader.stopFd);
    gReader.stopFd = -1;
  }
  ReaderConfig config = readConfig();
  if (std::holds_alternative<std::monostate>(config)) return;
  int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd < 0) {
    reportTerminalProblem(std::string("trigger keys: cannot start (") + std::strerror(errno) + ")");
    return;
  }
  auto body = [config = std::move(config), stopFd] {
    if (const auto *evdev = std::get_if<EvdevTriggerConfig>(&config)) runEvdevTrigger(*evdev, stopFd);
    if (const auto *x11 = std::get_if<X11TriggerConfig>(&config)) runX11Trigger(*x11, stopFd);
  };
  gReader.thread = Thread::start(std::move(body), "reader-trigger");
  if (!gReader.thread) {
    reportTerminalProblem("trigger keys: cannot start their thread");
    ::close(stopFd);
    return;
  }
  gReader.stopFd = stopFd;
}

void stopTriggerKeys() {
  std::lock_guard lock(gMutex);
  if (!gReader.thread) return;
  std::uint64_t one = 1;
  while (::write(gReader.stopFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
  gReader.thread->join();
  gReader.thread.reset();
  ::close(gReader.stopFd);
  gReader.stopFd = -1;
}

}  // namespace reader::platform::posix
