// Serial ports on POSIX terminals (real UARTs, USB serial adapters, and
// pseudo-terminals for tests and simulators).
//
// Port n is the device path in the terminal setting READER_COM<n> (the
// environment, else the configuration file: terminal_config.h). The
// descriptor is non-blocking, raw 8N1 without flow control, VMIN = VTIME = 0;
// every wait is a poll() against a deadline on the monotonic clock, so
// time-outs are honoured to the millisecond and EINTR only restarts the
// wait. The "4096-byte queues" of the contract are the kernel's own buffers
// here; nothing is set up for them.
//
// Exclusive use, before anything about the terminal is changed: an advisory
// flock() (which root does not bypass, and which serial tools honour), then
// the terminal's own exclusive flag (TIOCEXCL: other non-root opens fail).
// A flag that is already set is another holder's, and root would pass it:
// such a port is busy too. The flag outlives the descriptor, so it is given
// up at close, but only by the process that set it: a forked child closing
// its inherited copy lets go of its descriptors and nothing else (the lock,
// shared with the parent's descriptor, stays the parent's).
//
// Reads take what has arrived in one read() into a small buffer and serve
// single bytes from it; purge() empties that buffer with the kernel's.
//
// Closing while other threads are inside a call (the call gate): close()
// marks the port closing (new calls fail at once with EBADF), writes to a
// self-pipe that every wait polls beside the device (so a blocked readByte or
// write returns Failed / EBADF within a poll wake-up), waits until no call is
// inside the descriptor, and only then closes it, so a descriptor number is
// never used after it was closed (and possibly reused by the process).
#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/common/open_failure_record.h"
#include "platform/common/port_call_gate.h"
#include "platform/posix/device_calls.h"
#include "platform/posix/host_listeners.h"
#include "platform/posix/serial_error_text.h"
#include "platform/posix/terminal_setting_origin.h"

namespace reader::platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

ErrorCode lastErrno() { return static_cast<ErrorCode>(errno); }

// Whole milliseconds until `deadline`, rounded up, for poll().
int msUntil(Clock::time_point deadline) {
  auto remaining = deadline - Clock::now();
  if (remaining <= Clock::duration::zero()) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

constexpr std::chrono::milliseconds kDrainMargin{20};

int bitsOfSpeed(speed_t speed) {
  switch (speed) {
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 9600;  // the slowest the library uses: the longest bound
  }
}

bool speedConstant(int bitsPerSecond, speed_t &out) {
  switch (bitsPerSecond) {
    case 9600: out = B9600; return true;
    case 19200: out = B19200; return true;
    case 38400: out = B38400; return true;
    case 57600: out = B57600; return true;
    case 115200: out = B115200; return true;
    default: return false;
  }
}

void set8N1(termios &settings) {
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8;
}

// Modem-line ioctls a port without modem lines (a pseudo-terminal) refuses.
bool noModemLines(int error) { return error == ENOTTY || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP; }

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(int fd, int wakeRead, int wakeWrite, int portNumber, std::string path)
      : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite), portNumber_(portNumber), path_(std::move(path)) {}
  ~PosixSerialPort() override { close(); }

  ErrorCode setSpeed(int bitsPerSecond) override;
  ErrorCode getTimeouts(SerialTimeouts &out) override;
  ErrorCode setTimeouts(const SerialTimeouts &timeouts) override;
  ErrorCode purge(PurgeScope scope) override;
  ErrorCode drain() override;
  ReadStatus readByte(std::uint8_t &out, std::uint32_t timeoutMs, ErrorCode &error) override;
  ErrorCode write(const std::uint8_t *data, std::size_t size, std::size_t &written) override;
  ErrorCode setRts(bool on) override { return setModemLine(TIOCM_RTS, on); }
  ErrorCode setDtr(bool on) override { return setModemLine(TIOCM_DTR, on); }
  bool readModemLines(unsigned &lines) const override;
  void close() override;
  bool isOpen() const override { return gate_.isOpen(); }

 private:
  // A call inside the descriptor; refused (EBADF) unless open.
  using Use = common::PortCallGate::Call;

  enum class Wait { Ready, TimedOut, Closed, Error };

  // Polls the device for `events` beside the wake-up pipe until `deadline`.
  // Ready also covers POLLHUP/POLLERR (in `revents`).
  Wait waitFor(short events, Clock::time_point deadline, short &revents, ErrorCode &error);
  ErrorCode setModemLine(int line, bool on);
  void closeDescriptors();
  // Tells the host, once, that the device failed under an open port (it
  // was unplugged or powered off), so a service can restart the reader.
  // Errors of a port being closed are not failures of the device.
  ErrorCode noteFailure(ErrorCode error);
  // Descriptor in use. True when the output queue emptied within its byte
  // time at the current speed.
  bool drainQueuedOutput();

  const int fd_;
  const int wakeRead_;
  const int wakeWrite_;
  const int portNumber_;
  const std::string path_;
  std::atomic<bool> failureReported_{false};
  // Knows the opening process: the one that holds the lock and the
  // exclusive flag.
  common::PortCallGate gate_;

  std::mutex timeoutsMutex_;  // timeouts_
  SerialTimeouts timeouts_;

  std::mutex writeMutex_;  // one write() at a time: writes never interleave

  std::mutex inputMutex_;  // the input buffer and every read() of the device
  std::uint8_t input_[256];
  std::size_t inputPos_ = 0;
  std::size_t inputEnd_ = 0;
};

PosixSerialPort::Wait PosixSerialPort::waitFor(short events, Clock::time_point deadline, short &revents,
                                               ErrorCode &error) {
  for (;;) {
    pollfd fds[2] = {{fd_, events, 0}, {wakeRead_, POLLIN, 0}};
    int ready = ::poll(fds, 2, msUntil(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      error = lastErrno();
      return Wait::Error;
    }
    if (fds[1].revents != 0) return Wait::Closed;
    if (fds[0].revents & POLLNVAL) {
      error = EBADF;
      return Wait::Error;
    }
    if (fds[0].revents != 0) {
      revents = fds[0].revents;
      return Wait::Ready;
    }
    // Nothing ready: poll may have returned a little before the deadline
    // (its rounding); the deadline is what counts.
    if (Clock::now() >= deadline) return Wait::TimedOut;
  }
}

ErrorCode PosixSerialPort::setSpeed(int bitsPerSecond) {
  speed_t speed;
  if (!speedConstant(bitsPerSecond, speed)) return EINVAL;
  Use use(gate_);
  if (!use.admitted()) return EBADF;
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) return lastErrno();
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  set8N1(settings);
  // TCSADRAIN: bytes already written leave at the old speed (no flow control
  // is set, so the drain is bounded by the bytes queued).
  while (tcsetattr(fd_, TCSADRAIN, &settings) != 0) {
    if (errno != EINTR) return lastErrno();
  }
  // tcsetattr succeeds when any change was made; check the speed took.
  termios applied{};
  if (tcgetattr(fd_, &applied) != 0) return lastErrno();
  if (cfgetospeed(&applied) != speed) return EINVAL;
  return 0;
}

ErrorCode PosixSerialPort::getTimeouts(SerialTimeouts &out) {
  if (!gate_.isOpen()) return EBADF;
  std::lock_guard lock(timeoutsMutex_);
  out = timeouts_;
  return 0;
}

ErrorCode PosixSerialPort::setTimeouts(const SerialTimeouts &timeouts) {
  if (!gate_.isOpen()) return EBADF;
  std::lock_guard lock(timeoutsMutex_);
  timeouts_ = timeouts;
  return 0;
}

ErrorCode PosixSerialPort::purge(PurgeScope scope) {
  Use use(gate_);
  if (!use.admitted()) return EBADF;
  std::lock_guard lock(inputMutex_);
  inputPos_ = inputEnd_ = 0;
  if (tcflush(fd_, scope == PurgeScope::Everything ? TCIOFLUSH : TCIFLUSH) != 0) return lastErrno();
  return 0;
}

ErrorCode PosixSerialPort::drain() {
  Use use(gate_);
  if (!use.admitted()) return EBADF;
  std::lock_guard writeLock(writeMutex_);
  return drainQueuedOutput() ? 0 : ETIMEDOUT;
}

bool PosixSerialPort::drainQueuedOutput() {
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) return true;  // nothing to wait for that we can see
  if (queued > 0) {
    termios settings{};
    int bitsPerSecond = 9600;
    if (tcgetattr(fd_, &settings) == 0) bitsPerSecond = bitsOfSpeed(cfgetospeed(&settings));
    // Ten bits a byte (8N1), and a margin for the driver's own latency.
    const auto bound = std::chrono::microseconds(10'000'000LL * queued / bitsPerSecond) + kDrainMargin;
    const Clock::time_point deadline = Clock::now() + bound;
    while (queued > 0) {
      if (Clock::now() >= deadline) return false;
      ::poll(nullptr, 0, 1);
      if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) break;
    }
  }
  // The queue is empty: what is left sits in the UART's own FIFO, a few byte
  // times at most.
  while (tcdrain(fd_) != 0 && errno == EINTR) {
  }
  return true;
}

ReadStatus PosixSerialPort::readByte(std::uint8_t &out, std::uint32_t timeoutMs, ErrorCode &error) {
  error = 0;
  Use use(gate_);
  if (!use.admitted()) {
    error = EBADF;
    return ReadStatus::Failed;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(realDeviceWaitMs(timeoutMs));
  bool hungUp = false;
  for (;;) {
    {
      std::lock_guard lock(inputMutex_);
      if (inputPos_ == inputEnd_) {
        ssize_t got = ::read(fd_, input_, sizeof input_);
        if (got > 0) {
          inputPos_ = 0;
          inputEnd_ = static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
          error = noteFailure(lastErrno());
          return ReadStatus::Failed;
        }
        // got == 0: nothing has arrived (a raw terminal with VMIN = VTIME = 0
        // reports "no data" that way, even when non-blocking).
      }
      if (inputPos_ < inputEnd_) {
        out = input_[inputPos_++];
        return ReadStatus::Byte;
      }
    }
    if (hungUp) {  // what arrived before the hang-up has been served
      error = noteFailure(EIO);
      return ReadStatus::Failed;
    }
    short revents = 0;
    switch (waitFor(POLLIN, deadline, revents, error)) {
      case Wait::Ready:
        hungUp = (revents & (POLLHUP | POLLERR)) != 0;
        break;  // read what is there (another reader may have taken it)
      case Wait::TimedOut: return ReadStatus::TimedOut;
      case Wait::Closed: error = EBADF; return ReadStatus::Failed;
      case Wait::Error: return ReadStatus::Failed;
    }
  }
}

ErrorCode PosixSerialPort::write(const std::uint8_t *data, std::size_t size, std::size_t &written) {
  written = 0;
  Use use(gate_);
  if (!use.admitted()) return EBADF;
  std::lock_guard writeLock(writeMutex_);
  if (!gate_.isOpen()) return EBADF;  // closed while this call queued
  std::uint32_t timeoutMs;
  {
    std::lock_guard lock(timeoutsMutex_);
    timeoutMs = timeouts_.writeTotalMs;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(realDeviceWaitMs(timeoutMs));
  while (written < size) {
    ssize_t put = ::write(fd_, data + written, size - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return noteFailure(lastErrno());
    // The output queue is full: wait for room until the deadline.
    short revents = 0;
    ErrorCode error = 0;
    switch (waitFor(POLLOUT, deadline, revents, error)) {
      case Wait::Ready:
        if ((revents & (POLLHUP | POLLERR)) != 0 && (revents & POLLOUT) == 0) return noteFailure(EIO);
        break;
      case Wait::TimedOut: return 0;  // partial write: success with the shorter count
      case Wait::Closed: return EBADF;
      case Wait::Error: return error;
    }
  }
  return 0;
}

ErrorCode PosixSerialPort::setModemLine(int line, bool on) {
  Use use(gate_);
  if (!use.admitted()) return EBADF;
  int bits = line;
  if (posix::deviceCalls().modemLines(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
    int error = errno;
    if (!noModemLines(error)) return static_cast<ErrorCode>(error);
  }
  return 0;
}

bool PosixSerialPort::readModemLines(unsigned &lines) const {
  Use use(gate_);
  if (!use.admitted()) return false;
  int bits = 0;
  if (posix::deviceCalls().modemLines(fd_, TIOCMGET, &bits) != 0) return false;
  unsigned asserted = 0;
  if (bits & TIOCM_CTS) asserted |= modem_line::kCts;
  if (bits & TIOCM_DSR) asserted |= modem_line::kDsr;
  if (bits & TIOCM_CAR) asserted |= modem_line::kDcd;
  if (bits & TIOCM_RNG) asserted |= modem_line::kRing;
  lines = asserted;
  return true;
}

void PosixSerialPort::close() {
  // In a forked child the device, its lock, its exclusive flag and the
  // wake-up pipe are shared with the opener: nothing is flushed, drained or
  // given up, and nothing is written to the pipe, whose other end wakes the
  // opener's readers.
  if (gate_.closeCopyInChild([this] { closeDescriptors(); })) return;
  gate_.close(
      [this] {
        const char wake = 1;
        while (::write(wakeWrite_, &wake, 1) < 0 && errno == EINTR) {
        }
        return common::CallsInside::WillLeave;
      },
      [this](common::CallsInside) {
        // A command written just before the close must reach the device
        // whole. Output that did not leave within its byte time is
        // discarded, so that close(2) does not wait for the driver's own
        // (much longer) closing drain.
        const bool drained = drainQueuedOutput();
        tcflush(fd_, drained ? TCIFLUSH : TCIOFLUSH);
        // The exclusive flag belongs to the terminal, not to this
        // descriptor: on a device that outlives the close (a pseudo-terminal
        // whose other end stays open) it would keep every later open out,
        // ours included. The lock goes with the descriptor.
        ::ioctl(fd_, TIOCNXCL);
        closeDescriptors();
      });
}

ErrorCode PosixSerialPort::noteFailure(ErrorCode error) {
  if (error != EIO && error != ENXIO && error != ENODEV && error != EPIPE) return error;
  if (!gate_.isOpen() || failureReported_.exchange(true)) return error;
  const std::string text =
      "COM" + std::to_string(portNumber_) + " " + path_ + ": " + posix::serialErrorText(static_cast<int>(error));
  ReaderOutput output{};
  output.kind = READER_OUTPUT_PORT_ERROR;
  output.value = portNumber_;
  output.value2 = static_cast<long>(error);
  output.text = text.c_str();
  posix::emitOutput(output);
  return error;
}

void PosixSerialPort::closeDescriptors() {
  ::close(fd_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

// Claims the terminal for this process before anything about it changes:
// the lock first, then the exclusive flag. 0, EBUSY (another holder, left as
// it is), ENOTTY (not a terminal) or the failing call's errno; `flagSet`
// tells whether this call set the flag, and so must give it up on a later
// failure.
ErrorCode claimExclusiveUse(int fd, bool &flagSet) {
  flagSet = false;
  // Devices whose file system keeps no locks are left to the flag alone.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return EBUSY;
  int alreadySet = 0;
  if (::ioctl(fd, TIOCGEXCL, &alreadySet) == 0 && alreadySet != 0) return EBUSY;
  if (::ioctl(fd, TIOCEXCL) != 0) return lastErrno();
  flagSet = true;
  return 0;
}

// Configures a freshly opened terminal; 0 or the failing call's errno.
ErrorCode configureTerminal(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return lastErrno();  // ENOTTY: not a terminal
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  set8N1(settings);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return lastErrno();
  if (tcflush(fd, TCIOFLUSH) != 0) return lastErrno();
  return 0;
}

std::shared_ptr<SerialPort> openPath(int portNumber, const std::string &path, ErrorCode &error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = lastErrno();
    return nullptr;
  }
  bool flagSet = false;
  error = claimExclusiveUse(fd, flagSet);
  if (error == 0) error = configureTerminal(fd);
  int wake[2] = {-1, -1};
  if (error == 0 && ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) error = lastErrno();
  if (error == 0) {
    try {
      return std::make_shared<PosixSerialPort>(fd, wake[0], wake[1], portNumber, path);
    } catch (...) {  // std::bad_alloc
      error = ENOMEM;
    }
  }
  // Only a flag this call set is given up: one found set is another's.
  if (flagSet) ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  if (wake[0] >= 0) ::close(wake[0]);
  if (wake[1] >= 0) ::close(wake[1]);
  return nullptr;
}

}  // namespace

std::shared_ptr<SerialPort> SerialPort::open(int portNumber, ErrorCode &error) {
  error = 0;
  const std::string variable = "READER_COM" + std::to_string(portNumber);
  const std::optional<posix::TerminalSettingWithOrigin> setting = posix::terminalSettingWithOrigin(variable.c_str());
  if (!setting || setting->value.empty()) {
    error = ENOENT;
    common::recordOpenFailure(portNumber, variable + " is not set");
    return nullptr;
  }
  const std::string &path = setting->value;
  std::shared_ptr<SerialPort> port = openPath(portNumber, path, error);
  std::string failure;
  if (!port) failure = path + " (" + setting->origin + "): " + posix::serialErrorText(static_cast<int>(error));
  common::recordOpenFailure(portNumber, std::move(failure));
  return port;
}

}  // namespace reader::platform
