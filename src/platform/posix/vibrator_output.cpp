#include "platform/posix/vibrator_output.h"

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/posix/force_feedback_calls.h"
#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {

// How long "on" lasts where the device itself needs a length.
constexpr int kOnMs = 60000;

struct Vibrator {
  enum class Kind { led, timed, forceFeedback } kind;
  std::string path;
};

std::optional<Vibrator> configuredVibrator() {
  const std::optional<std::string> value = terminalSetting("READER_VIBRATOR");
  if (!value || value->empty()) return std::nullopt;
  const std::size_t colon = value->find(':');
  const std::string kind = value->substr(0, colon);
  std::optional<Vibrator> vibrator;
  if (colon != std::string::npos && colon + 1 < value->size()) {
    const std::string path = value->substr(colon + 1);
    if (kind == "led") vibrator = Vibrator{Vibrator::Kind::led, path};
    if (kind == "timed") vibrator = Vibrator{Vibrator::Kind::timed, path};
    if (kind == "ff") vibrator = Vibrator{Vibrator::Kind::forceFeedback, path};
  }
  if (!vibrator) {
    reportTerminalProblem("READER_VIBRATOR \"" + *value + "\": expected led:<dir>, timed:<dir> or ff:<device>");
  }
  return vibrator;
}

void reportFailure(const std::string &what, const std::string &path, int error) {
  reportTerminalProblem("vibrator: cannot " + what + " " + path + " (" + std::strerror(error) + ")");
}

bool writeAttribute(const std::string &path, const std::string &text) {
  // No O_CREAT: a missing attribute is a wrong directory, not a file to make.
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    reportFailure("open", path, errno);
    return false;
  }
  ssize_t written;
  do {
    written = write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  const int error = errno;
  close(fd);
  if (written != static_cast<ssize_t>(text.size())) {
    reportFailure("write", path, written < 0 ? error : EIO);
    return false;
  }
  return true;
}

// An LED's full brightness; 1 when max_brightness cannot be read.
std::string ledOnValue(const std::string &dir) {
  char text[32] = {};
  const int fd = open((dir + "/max_brightness").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "1";
  const ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return "1";
  char *end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end != text && value > 0 ? std::to_string(value) : "1";
}

// A rumble device is held open while it vibrates: its uploaded effect lives
// as long as the descriptor.
class Rumble {
 public:
  ~Rumble() { release(); }

  bool on(const std::string &path) {
    if (fd_ >= 0 && path != path_) release();
    if (fd_ < 0 && !upload(path)) return false;
    return play(1);
  }

  bool off() {
    if (fd_ < 0) return true;  // nothing of ours is running
    const bool stopped = play(0);
    release();
    return stopped;
  }

 private:
  bool upload(const std::string &path) {
    ForceFeedbackCalls &calls = forceFeedbackCalls();
    const int fd = calls.open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      reportFailure("open", path, errno);
      return false;
    }
    ff_effect effect{};
    effect.type = FF_RUMBLE;
    effect.id = -1;  // a new effect: the kernel gives the number
    effect.replay.length = kOnMs;
    effect.u.rumble.strong_magnitude = 0xFFFF;
    effect.u.rumble.weak_magnitude = 0xFFFF;
    if (calls.ioctl(fd, EVIOCSFF, &effect) < 0) {
      reportFailure("upload a rumble effect to", path, errno);
      calls.close(fd);
      return false;
    }
    fd_ = fd;
    path_ = path;
    effect_ = effect.id;
    return true;
  }

  bool play(int value) {
    input_event event{};
    event.type = EV_FF;
    event.code = static_cast<std::uint16_t>(effect_);
    event.value = value;
    ssize_t written;
    do {
      written = forceFeedbackCalls().write(fd_, &event, sizeof event);
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(sizeof event)) return true;
    reportFailure(value != 0 ? "start" : "stop", path_, written < 0 ? errno : EIO);
    // The device may have gone: opened and uploaded anew next time.
    release();
    return false;
  }

  void release() {
    if (fd_ < 0) return;
    ForceFeedbackCalls &calls = forceFeedbackCalls();
    calls.ioctl(fd_, EVIOCRMFF, reinterpret_cast<void *>(static_cast<std::intptr_t>(effect_)));
    calls.close(fd_);
    fd_ = -1;
    effect_ = -1;
  }

  int fd_ = -1;
  int effect_ = -1;
  std::string path_;
};

std::mutex vibratorMutex;  // one switch at a time: the feedback threads and SetVibrator overlap
Rumble rumble;             // its end (at exit or unload) closes the device

}  // namespace

bool driveVibrator(bool on) {
  std::lock_guard lock(vibratorMutex);
  try {
    const std::optional<Vibrator> vibrator = configuredVibrator();
    if (!vibrator) return false;
    switch (vibrator->kind) {
      case Vibrator::Kind::led:
        return writeAttribute(vibrator->path + "/brightness", on ? ledOnValue(vibrator->path) : "0");
      case Vibrator::Kind::timed: return writeAttribute(vibrator->path + "/enable", on ? std::to_string(kOnMs) : "0");
      case Vibrator::Kind::forceFeedback: return on ? rumble.on(vibrator->path) : rumble.off();
    }
  } catch (const std::bad_alloc &) {
  }
  return false;
}

}  // namespace reader::platform::posix
