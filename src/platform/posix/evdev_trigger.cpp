#include "platform/posix/evdev_trigger.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/posix/evdev_key_names.h"
#include "platform/posix/input_calls.h"
#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
constexpr std::string_view kNamePrefix = "name:";
constexpr std::size_t kKeyBytes = (kEvdevKeyMax + 1) / 8;

bool bitSet(const unsigned char *bits, unsigned bit) { return ((bits[bit / 8] >> (bit % 8)) & 1) != 0; }

std::string systemError(int error) { return std::strerror(error); }

// What a look at an open device found: whether it can give any trigger key,
// and what is wrong with it.
struct Fitness {
  bool usable = false;
  std::vector<std::string> problems;
};

class EvdevTrigger {
 public:
  EvdevTrigger(const EvdevTriggerConfig &config, int stopFd) : config_(config), stopFd_(stopFd), calls_(inputCalls()) {
    if (config.device.starts_with(kNamePrefix)) {
      deviceName_ = config.device.substr(kNamePrefix.size());
      directory_ = calls_.inputDirectory;
    } else {
      auto slash = config.device.rfind('/');
      directory_ = slash == std::string::npos ? "." : slash == 0 ? "/" : config.device.substr(0, slash);
      entryName_ = slash == std::string::npos ? config.device : config.device.substr(slash + 1);
    }
  }
  ~EvdevTrigger() {
    if (inotify_ >= 0) ::close(inotify_);
  }
  EvdevTrigger(const EvdevTrigger &) = delete;
  EvdevTrigger &operator=(const EvdevTrigger &) = delete;

  void run() {
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0) {
      reportTerminalProblem("trigger keys: cannot watch for the device to appear (" + systemError(errno) + ")");
    }
    for (;;) {
      // Watching before looking: a device that appears between a failed open
      // and the wait still wakes the wait.
      watchDirectory(true);
      int fd = openUsableDevice();
      if (fd < 0) {
        if (!waitForDirectoryChange()) return;
        continue;
      }
      watchDirectory(false);
      bool stopped = readEvents(fd);
      calls_.closeDevice(fd);
      releaseHeldKeys();
      if (stopped) return;
    }
  }

 private:
  bool byName() const { return !deviceName_.empty(); }

  void watchDirectory(bool on) {
    if (inotify_ < 0) return;
    if (!on) {
      if (watch_ >= 0) inotify_rm_watch(inotify_, watch_);
      watch_ = -1;
      return;
    }
    if (watch_ >= 0) return;
    watch_ = inotify_add_watch(inotify_, directory_.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_ONLYDIR);
    if (watch_ < 0) {
      reportTerminalProblem("trigger keys: cannot watch " + directory_ + " for the device to appear (" +
                            systemError(errno) + ")");
    }
  }

  // Sleeps until an entry that may be the device appears or changes (its
  // permissions, say); false once told to stop. Without a watch only the
  // stop request can end the wait.
  bool waitForDirectoryChange() {
    for (;;) {
      pollfd fds[2] = {{stopFd_, POLLIN, 0}, {watch_ >= 0 ? inotify_ : -1, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[0].revents != 0) return false;
      if (fds[1].revents != 0 && directoryChangeConcernsDevice()) return true;
    }
  }

  bool directoryChangeConcernsDevice() {
    alignas(inotify_event) char buffer[4096];
    bool concerns = false;
    for (;;) {
      ssize_t got = ::read(inotify_, buffer, sizeof buffer);
      if (got <= 0) return concerns;
      for (char *at = buffer; at < buffer + got;) {
        const auto *event = reinterpret_cast<const inotify_event *>(at);
        std::string_view name = event->len > 0 ? std::string_view(event->name) : std::string_view();
        if ((event->mask & IN_Q_OVERFLOW) != 0) concerns = true;
        if ((event->mask & IN_IGNORED) != 0 && event->wd == watch_) {
          watch_ = -1;  // the directory itself went: watch it again, if it is back
          concerns = true;
        }
        if (byName() ? name.starts_with("event") : name == entryName_) concerns = true;
        at += sizeof(inotify_event) + event->len;
      }
    }
  }

  // The device open, checked and grabbed, or -1 (the reason reported).
  int openUsableDevice() { return byName() ? openNamedDevice() : openDeviceAtPath(); }

  int openDeviceAtPath() {
    const std::string &path = config_.device;
    int fd = calls_.openDevice(path.c_str(), kOpenFlags);
    if (fd < 0) {
      int error = errno;
      reportTerminalProblem("trigger device " + path + ": cannot open it (" + systemError(error) + ")" +
                            (error == EACCES ? ": the user needs read access, usually the input group" : "") +
                            "; waiting for it");
      return -1;
    }
    Fitness fitness = examine(fd, path);
    for (const std::string &problem : fitness.problems) reportTerminalProblem(problem);
    if (!fitness.usable) {
      calls_.closeDevice(fd);
      return -1;
    }
    grab(fd, path);
    return fd;
  }

  int openNamedDevice() {
    // A 32-bit build lists with 64-bit cookies (_FILE_OFFSET_BITS=64), else
    // the listing ends early on many filesystems.
    static_assert(sizeof(dirent::d_off) == 8, "build with _FILE_OFFSET_BITS=64");
    std::vector<std::string> entries;
    if (DIR *dir = ::opendir(directory_.c_str())) {
      while (const dirent *entry = ::readdir(dir)) {
        if (std::string_view(entry->d_name).starts_with("event")) entries.emplace_back(entry->d_name);
      }
      ::closedir(dir);
    }
    // event2 before event10: the kernel's order of registration.
    std::sort(entries.begin(), entries.end(), [](const std::string &a, const std::string &b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    int unreadable = 0;
    std::vector<std::string> firstUnfitProblems;
    for (const std::string &entry : entries) {
      std::string path = directory_ + "/" + entry;
      int fd = calls_.openDevice(path.c_str(), kOpenFlags);
      if (fd < 0) {
        if (errno == EACCES || errno == EPERM) ++unreadable;
        continue;
      }
      char name[256] = {};
      if (calls_.control(fd, EVIOCGNAME(sizeof name - 1), name) < 0 || deviceName_ != name) {
        calls_.closeDevice(fd);
        continue;
      }
      Fitness fitness = examine(fd, path + " (\"" + deviceName_ + "\")");
      if (fitness.usable) {
        for (const std::string &problem : fitness.problems) reportTerminalProblem(problem);
        grab(fd, path);
        return fd;
      }
      if (firstUnfitProblems.empty()) firstUnfitProblems = std::move(fitness.problems);
      calls_.closeDevice(fd);
    }
    // Several devices may carry one name (a keyboard's main and media keys):
    // only when none of them will do is the first one's fault reported.
    for (const std::string &problem : firstUnfitProblems) reportTerminalProblem(problem);
    if (firstUnfitProblems.empty()) {
      std::string text = "trigger device \"" + deviceName_ + "\": no such input device in " + directory_;
      if (unreadable > 0) {
        text += " (" + std::to_string(unreadable) +
                " device(s) there cannot be read: the user needs read access, usually the input group)";
      }
      reportTerminalProblem(text + "; waiting for it");
    }
    return -1;
  }

  Fitness examine(int fd, const std::string &label) {
    Fitness fitness;
    unsigned char types[(EV_MAX + 1 + 7) / 8] = {};
    if (calls_.control(fd, EVIOCGBIT(0, sizeof types), types) < 0) {
      fitness.problems.push_back("trigger device " + label + " is not an input event device (" + systemError(errno) +
                                 ")");
      return fitness;
    }
    unsigned char keys[kKeyBytes] = {};
    if (!bitSet(types, EV_KEY) || calls_.control(fd, EVIOCGBIT(EV_KEY, sizeof keys), keys) < 0) {
      fitness.problems.push_back("trigger device " + label + " is not a keyboard: it reports no keys");
      return fitness;
    }
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (!config_.keys[trigger]) continue;
      unsigned code = *config_.keys[trigger];
      if (bitSet(keys, code)) {
        fitness.usable = true;
      } else {
        fitness.problems.push_back("trigger device " + label + " has no key " + evdevKeyName(code) + " (trigger " +
                                   std::to_string(trigger + 1) + ")");
      }
    }
    return fitness;
  }

  void grab(int fd, const std::string &path) {
    if (!config_.grab) return;
    if (calls_.control(fd, EVIOCGRAB, reinterpret_cast<void *>(1)) < 0) {
      reportTerminalProblem("trigger device " + path + ": cannot take it for the trigger alone (" + systemError(errno) +
                            "); its keys also reach other programs");
    }
  }

  // Reads events until the device vanishes (false) or the stop request
  // (true).
  bool readEvents(int fd) {
    alignas(input_event) unsigned char buffer[64 * sizeof(input_event)];
    std::size_t kept = 0;  // a partial record: a pipe may split one
    for (;;) {
      pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return true;
      }
      if (fds[0].revents != 0) return true;
      if ((fds[1].revents & POLLIN) == 0) {
        if (fds[1].revents != 0) return false;  // POLLHUP, POLLERR, POLLNVAL: gone
        continue;
      }
      ssize_t got = calls_.readDevice(fd, buffer + kept, sizeof buffer - kept);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) return false;  // ENODEV, EIO...; 0: the far end of a pipe left
      kept += static_cast<std::size_t>(got);
      std::size_t whole = kept / sizeof(input_event);
      for (std::size_t i = 0; i < whole; ++i) {
        input_event event;
        std::memcpy(&event, buffer + i * sizeof event, sizeof event);
        handle(fd, event);
      }
      kept -= whole * sizeof(input_event);
      std::memmove(buffer, buffer + whole * sizeof(input_event), kept);
    }
  }

  void handle(int fd, const input_event &event) {
    if (event.type == EV_SYN && event.code == SYN_DROPPED) {
      dropping_ = true;
      return;
    }
    if (dropping_) {
      // The kernel's queue overflowed: what was lost is recovered from the
      // key state once the next report starts afresh.
      if (event.type == EV_SYN && event.code == SYN_REPORT) {
        dropping_ = false;
        resynchronise(fd);
      }
      return;
    }
    if (event.type != EV_KEY || (event.value != 0 && event.value != 1)) return;
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (config_.keys[trigger] == event.code) post(trigger, event.value == 1);
    }
  }

  void resynchronise(int fd) {
    unsigned char state[kKeyBytes] = {};
    bool known = calls_.control(fd, EVIOCGKEY(sizeof state), state) >= 0;
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (!config_.keys[trigger]) continue;
      bool down = known && bitSet(state, *config_.keys[trigger]);
      if (down != held_[trigger]) post(trigger, down);
    }
  }

  // A key that was down when its device went stays down no longer: the
  // scan it started must stop.
  void releaseHeldKeys() {
    for (int trigger = 0; trigger < 2; ++trigger) {
      if (held_[trigger]) post(trigger, false);
    }
    dropping_ = false;
  }

  void post(int trigger, bool pressed) {
    held_[trigger] = pressed;
    ReaderHostTriggerKey(trigger + 1, pressed ? 1 : 0);
  }

  const EvdevTriggerConfig &config_;
  const int stopFd_;
  const InputCalls &calls_;
  std::string deviceName_;  // by name: the name; by path: empty
  std::string directory_;   // where the device appears
  std::string entryName_;   // by path: the device's entry in directory_
  int inotify_ = -1;
  int watch_ = -1;
  bool held_[2] = {};
  bool dropping_ = false;
};

}  // namespace

void runEvdevTrigger(const EvdevTriggerConfig &config, int stopFd) { EvdevTrigger(config, stopFd).run(); }

}  // namespace reader::platform::posix
