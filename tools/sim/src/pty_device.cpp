#include "readersim/pty_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <stdexcept>
#include <system_error>

#include "readersim/line_speed.h"
#include "readersim/time_scale.h"

namespace readersim {
namespace {

// While the host has the port closed the master reports a hang-up all the
// time, so it cannot be waited on; look again this often.
constexpr int kClosedRecheckMs = 5;

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int pollRetrying(pollfd *fds, nfds_t count, int timeoutMs) {
  int ready;
  do {
    ready = ::poll(fds, count, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready;
}

}  // namespace

PtyDevice::PtyDevice(int kind, int startSpeed) : kind_(kind), speed_(startSpeed) {
  if (!speedCode(startSpeed)) throw std::invalid_argument("unsupported line speed");
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

PtyDevice::~PtyDevice() {
  shutdown();
  ::close(wakeFd_);
}

void PtyDevice::start() {
  std::lock_guard lock(mutex_);
  threadRunning_ = true;
  thread_ = std::thread([this] { run(); });
}

void PtyDevice::shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
  }
  stopRequested_ = true;
  wake();
  thread_.join();
}

// --- public state -----------------------------------------------------------

int PtyDevice::speed() const {
  std::lock_guard lock(mutex_);
  return speed_;
}

void PtyDevice::setSpeed(int bps) {
  if (!speedCode(bps)) throw std::invalid_argument("unsupported line speed");
  {
    std::lock_guard lock(mutex_);
    speed_ = bps;
    addRecord(makeRecord(RecordType::SpeedChanged, {}, 0));
  }
  publishRecords();
  stateChanged_.notify_all();
}

std::optional<int> PtyDevice::hostSpeed() const {
  std::optional<int> speed;
  runOnDeviceThread([&] { speed = pty_.hostSpeed(); });
  return speed;
}

void PtyDevice::setPacing(bool on) { pacing_ = on; }
bool PtyDevice::pacing() const { return pacing_; }

void PtyDevice::setSilent(bool on) {
  std::lock_guard lock(mutex_);
  silent_ = on;
}

bool PtyDevice::silent() const {
  std::lock_guard lock(mutex_);
  return silent_;
}

void PtyDevice::silenceNext(int frames) {
  std::lock_guard lock(mutex_);
  silenceNext_ = std::max(frames, 0);
}

void PtyDevice::injectBytes(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
  runOnDeviceThread([&] {
    {
      std::lock_guard lock(mutex_);
      outputs_.push_back({Output::Kind::Injected, std::move(copy), 0});
    }
    flushOutputs();
  });
}

void PtyDevice::injectText(std::string_view text) {
  injectBytes(std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
}

void PtyDevice::vanish() {
  runOnDeviceThread([&] {
    pty_.vanish();
    {
      std::lock_guard lock(mutex_);
      if (vanished_) return;
      vanished_ = true;
      hostOpen_ = false;
      addRecord(makeRecord(RecordType::Vanished, {}, 0));
    }
    publishRecords();
    stateChanged_.notify_all();
  });
}

bool PtyDevice::vanished() const {
  std::lock_guard lock(mutex_);
  return vanished_;
}

void PtyDevice::setAnswerFault(AnswerFault fault) {
  std::lock_guard lock(mutex_);
  answerFault_ = fault;
}

PtyDevice::AnswerFault PtyDevice::answerFault() const {
  std::lock_guard lock(mutex_);
  return answerFault_;
}

void PtyDevice::startTrickle(std::chrono::milliseconds interval) { trickleFromFrame(interval, 0); }

void PtyDevice::trickleFromFrame(std::chrono::milliseconds interval, int frame) {
  {
    std::lock_guard lock(mutex_);
    trickleInterval_ = std::max(interval, std::chrono::milliseconds(1));
    trickleCountdown_ = std::max(frame, 0);
    nextTrickle_ = std::chrono::steady_clock::now();
  }
  wake();
}

void PtyDevice::stopTrickle() {
  {
    std::lock_guard lock(mutex_);
    trickleInterval_.reset();
    trickleCountdown_ = 0;
  }
  wake();
}

bool PtyDevice::trickling() const {
  std::lock_guard lock(mutex_);
  return trickleInterval_ && trickleCountdown_ == 0;
}

std::size_t PtyDevice::trickledBytes() const {
  std::lock_guard lock(mutex_);
  return trickled_;
}

std::optional<std::chrono::steady_clock::time_point> PtyDevice::trickleDueLocked() const {
  if (!trickleInterval_ || trickleCountdown_ != 0) return std::nullopt;
  return nextTrickle_;
}

void PtyDevice::checkTrickle() {
  {
    std::lock_guard lock(mutex_);
    auto due = trickleDueLocked();
    const auto now = std::chrono::steady_clock::now();
    if (!due || now < *due) return;
    // One byte per interval from now on, without bursts to catch up.
    nextTrickle_ = std::max(*due + scaled(*trickleInterval_), now);
  }
  if (!pty_.isOpen() || !refreshHostState()) return;
  const std::uint8_t byte = kTrickleByte;
  const bool sent = pty_.writeAll(std::span(&byte, 1));
  {
    std::lock_guard lock(mutex_);
    if (sent) ++trickled_;
    addRecord(makeRecord(RecordType::ToHost, std::span(&byte, 1),
                         traffic_flag::kInjected | (sent ? 0u : traffic_flag::kNotSent)));
  }
  publishRecords();
}

bool PtyDevice::hostOpen() const {
  std::lock_guard lock(mutex_);
  return hostOpen_;
}

int PtyDevice::hostOpenCount() const {
  std::lock_guard lock(mutex_);
  return hostOpens_;
}

int PtyDevice::hostCloseCount() const {
  std::lock_guard lock(mutex_);
  return hostCloses_;
}

bool PtyDevice::waitForHostOpenCount(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return stateChanged_.wait_for(lock, timeout, [&] { return hostOpens_ >= count; });
}

bool PtyDevice::waitForHostCloseCount(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return stateChanged_.wait_for(lock, timeout, [&] { return hostCloses_ >= count; });
}

std::vector<std::vector<std::uint8_t>> PtyDevice::framesReceived() const {
  std::vector<std::vector<std::uint8_t>> frames;
  for (const auto &record : log_.snapshot()) {
    if (record.isFrame()) frames.push_back(record.bytes);
  }
  return frames;
}

bool PtyDevice::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
  return log_.waitForCount([](const TrafficRecord &r) { return r.isFrame(); }, count, timeout);
}

bool PtyDevice::waitForAnswers(std::size_t count, std::chrono::milliseconds timeout) const {
  return log_.waitForCount([](const TrafficRecord &r) { return r.isSentAnswer(); }, count, timeout);
}

// --- helpers for subclasses (mutex held) --------------------------------------

TrafficRecord PtyDevice::makeRecord(RecordType type, std::span<const std::uint8_t> bytes, unsigned flags) const {
  TrafficRecord record;
  record.timeNs = nowNs();
  record.type = type;
  record.bytes.assign(bytes.begin(), bytes.end());
  record.hostSpeed = lastHostSpeed_;
  record.deviceSpeed = speed_;
  record.flags = flags;
  return record;
}

void PtyDevice::addRecord(TrafficRecord record) { pendingRecords_.push_back(std::move(record)); }

void PtyDevice::publishRecords() {
  std::lock_guard order(publishMutex_);
  std::vector<TrafficRecord> records;
  {
    std::lock_guard lock(mutex_);
    records.swap(pendingRecords_);
  }
  for (auto &record : records) log_.append(std::move(record));
}

bool PtyDevice::acceptFrame(std::span<const std::uint8_t> frame, unsigned flags) {
  if (trickleInterval_ && trickleCountdown_ > 0 && --trickleCountdown_ == 0) {
    nextTrickle_ = std::chrono::steady_clock::now();
    wake();
  }
  if ((flags & traffic_flag::kIgnored) == 0) {
    if (trickleInterval_ && trickleCountdown_ == 0) {
      flags |= traffic_flag::kIgnored;  // a trickling device answers nothing
    } else if (silent_) {
      flags |= traffic_flag::kIgnored;
    } else if (silenceNext_ > 0) {
      --silenceNext_;
      flags |= traffic_flag::kIgnored;
    }
  }
  addRecord(makeRecord(RecordType::FromHost, frame, flags));
  return (flags & traffic_flag::kIgnored) == 0;
}

void PtyDevice::recordReceived(std::span<const std::uint8_t> bytes, unsigned flags) {
  addRecord(makeRecord(RecordType::FromHost, bytes, flags));
}

void PtyDevice::answer(std::span<const std::uint8_t> bytes) {
  if (trickleInterval_ && trickleCountdown_ == 0) return;  // it only trickles
  std::vector<std::uint8_t> out(bytes.begin(), bytes.end());
  switch (answerFault_) {
    case AnswerFault::None: break;
    case AnswerFault::Garbage: {
      // High and low nibbles mixed, so no length byte, digit or letter
      // pattern of any protocol comes out of it by chance.
      static constexpr std::uint8_t kNoise[] = {0xA5, 0x5A, 0xC3, 0x3C, 0x96, 0x69, 0xF0, 0x0F};
      for (std::size_t i = 0; i < out.size(); ++i) out[i] = kNoise[i % std::size(kNoise)];
      break;
    }
    case AnswerFault::Cut: out.resize(out.size() / 2); break;
    case AnswerFault::Oversized: {
      const std::size_t keep = std::min(answerTrailerLength(), out.size());
      out.insert(out.end() - static_cast<std::ptrdiff_t>(keep), kOversizeFill, std::uint8_t{'A'});
      break;
    }
  }
  if (out.empty()) return;
  outputs_.push_back({Output::Kind::Answer, std::move(out), speed_});
}

void PtyDevice::answer(std::string_view text) {
  answer(std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
}

void PtyDevice::switchSpeedAfterAnswers(int bps) { outputs_.push_back({Output::Kind::SpeedChange, {}, bps}); }

void PtyDevice::wake() {
  std::uint64_t one = 1;
  ssize_t written = ::write(wakeFd_, &one, sizeof one);
  (void)written;  // a full counter already means "wake up"
}

void PtyDevice::applyLineChange(const std::function<void()> &change) {
  runOnDeviceThread([&] {
    if (pty_.isOpen() && refreshHostState() && !readIncoming()) markHostClosed();
    {
      std::lock_guard lock(mutex_);
      change();
    }
    publishRecords();
  });
  wake();  // what timerDue() says may have changed
}

// --- device thread -------------------------------------------------------------

void PtyDevice::runOnDeviceThread(const std::function<void()> &task) const {
  std::promise<void> done;
  auto finished = done.get_future();
  {
    std::unique_lock lock(mutex_);
    if (!threadRunning_ || std::this_thread::get_id() == thread_.get_id()) {
      lock.unlock();
      task();
      return;
    }
    tasks_.push_back([&] {
      task();
      done.set_value();
    });
  }
  const_cast<PtyDevice *>(this)->wake();
  finished.wait();
}

void PtyDevice::runTasks() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

void PtyDevice::drainWake() {
  std::uint64_t count;
  ssize_t n = ::read(wakeFd_, &count, sizeof count);
  (void)n;  // EAGAIN: nothing was pending
}

void PtyDevice::run() {
  for (;;) {
    runTasks();
    flushOutputs();
    {
      std::lock_guard lock(mutex_);
      if (stopping_ && tasks_.empty()) {
        threadRunning_ = false;
        return;
      }
    }
    waitForEvents(pollTimeoutMs());
    checkSilence();
    checkTimer();
    checkTrickle();
  }
}

int PtyDevice::pollTimeoutMs() const {
  std::lock_guard lock(mutex_);
  std::optional<std::chrono::steady_clock::time_point> due = timerDue();
  if (auto trickle = trickleDueLocked(); trickle && (!due || *trickle < *due)) due = trickle;
  if (auto pending = pendingFrameTimeout()) {
    auto silenceDue = lastByteTime_ + scaledSilence(*pending);
    if (!due || silenceDue < *due) due = silenceDue;
  }
  if (!due) return -1;
  auto left = *due - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  // Rounded up: waking early would only poll again.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void PtyDevice::waitForEvents(int timeoutMs) {
  bool open;
  {
    std::lock_guard lock(mutex_);
    open = hostOpen_;
  }
  if (!pty_.isOpen()) {
    pollfd wakeEntry{wakeFd_, POLLIN, 0};
    pollRetrying(&wakeEntry, 1, -1);
    drainWake();
    return;
  }
  if (!open) {
    pollfd wakeEntry{wakeFd_, POLLIN, 0};
    int wait = timeoutMs < 0 ? kClosedRecheckMs : std::min(timeoutMs, kClosedRecheckMs);
    pollRetrying(&wakeEntry, 1, wait);
    if (wakeEntry.revents & POLLIN) drainWake();
    bool nowOpen = refreshHostState();
    // Bytes may be waiting although the host has closed again: it wrote and
    // closed between two looks.
    if (pty_.pollNow() & POLLIN) {
      if (!readIncoming() && nowOpen) markHostClosed();
    }
    return;
  }
  pollfd entries[2] = {{wakeFd_, POLLIN, 0}, {pty_.fd(), POLLIN, 0}};
  pollRetrying(entries, 2, timeoutMs);
  if (entries[0].revents & POLLIN) drainWake();
  if (entries[1].revents & POLLIN) {
    if (!readIncoming()) markHostClosed();
  } else if (entries[1].revents & (POLLHUP | POLLERR)) {
    markHostClosed();
  }
}

bool PtyDevice::readIncoming() {
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[4096];
  bool hungUp = false;
  for (;;) {
    ssize_t n = ::read(pty_.fd(), buffer, sizeof buffer);
    if (n > 0) {
      bytes.insert(bytes.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN: all read. EIO (or end of file): no slave fd is open any more.
    hungUp = n == 0 || errno != EAGAIN;
    break;
  }
  if (!bytes.empty()) handleIncoming(bytes);
  return !hungUp;
}

void PtyDevice::handleIncoming(std::span<const std::uint8_t> bytes) {
  auto host = pty_.hostSpeed();
  {
    std::lock_guard lock(mutex_);
    lastHostSpeed_ = host.value_or(0);
    lastByteTime_ = std::chrono::steady_clock::now();
    if (!vanished_) {
      if (!host || *host != speed_) {
        addRecord(makeRecord(RecordType::FromHost, bytes, traffic_flag::kGarbled));
        onLineReset();
      } else {
        onBytes(bytes);
      }
    }
  }
  publishRecords();
}

void PtyDevice::checkSilence() {
  {
    std::lock_guard lock(mutex_);
    auto pending = pendingFrameTimeout();
    if (pending && std::chrono::steady_clock::now() >= lastByteTime_ + scaledSilence(*pending)) onSilence();
  }
  publishRecords();
}

void PtyDevice::checkTimer() {
  {
    std::lock_guard lock(mutex_);
    auto due = timerDue();
    if (due && std::chrono::steady_clock::now() >= *due) onTimer();
  }
  publishRecords();
}

bool PtyDevice::refreshHostState() {
  short events = pty_.pollNow();
  bool portOpen = (events & (POLLHUP | POLLERR | POLLNVAL)) == 0;
  bool recorded;
  {
    std::lock_guard lock(mutex_);
    recorded = hostOpen_;
  }
  if (portOpen && !recorded) markHostOpen();
  if (!portOpen && recorded) markHostClosed();
  return portOpen;
}

void PtyDevice::markHostOpen() {
  auto host = pty_.hostSpeed();
  {
    std::lock_guard lock(mutex_);
    lastHostSpeed_ = host.value_or(0);
    hostOpen_ = true;
    addRecord(makeRecord(RecordType::HostOpened, {}, 0));
    onHostOpened();
  }
  // Counted once the record is in the log, so whoever waited for the count
  // finds the record there.
  publishRecords();
  {
    std::lock_guard lock(mutex_);
    ++hostOpens_;
  }
  stateChanged_.notify_all();
}

void PtyDevice::markHostClosed() {
  {
    std::lock_guard lock(mutex_);
    if (!hostOpen_) return;
    hostOpen_ = false;
    onLineReset();
    onHostClosed();
    addRecord(makeRecord(RecordType::HostClosed, {}, 0));
  }
  publishRecords();
  {
    std::lock_guard lock(mutex_);
    ++hostCloses_;
  }
  stateChanged_.notify_all();
}

void PtyDevice::flushOutputs() {
  for (;;) {
    Output output;
    {
      std::lock_guard lock(mutex_);
      if (outputs_.empty()) return;
      output = std::move(outputs_.front());
      outputs_.pop_front();
    }
    send(output);
  }
}

void PtyDevice::send(const Output &output) {
  if (output.kind == Output::Kind::SpeedChange) {
    {
      std::lock_guard lock(mutex_);
      speed_ = output.speed;
      addRecord(makeRecord(RecordType::SpeedChanged, {}, 0));
    }
    publishRecords();
    stateChanged_.notify_all();
    return;
  }

  const bool injected = output.kind == Output::Kind::Injected;
  // Written into a port the host has closed, bytes would wait there for the
  // next open; so look at the port itself, not at the last recorded state.
  bool open = pty_.isOpen() && refreshHostState();
  auto host = pty_.hostSpeed();
  int lineSpeed;
  {
    std::lock_guard lock(mutex_);
    lastHostSpeed_ = host.value_or(0);
    lineSpeed = injected ? speed_ : output.speed;
  }
  // An answer at a speed the host is not listening at would reach it as
  // noise; not sending it is the same to the host, and the log says why.
  bool speedMatches = injected || (host && *host == output.speed);
  unsigned flags = injected ? traffic_flag::kInjected : 0;
  bool sent = open && speedMatches && (pacing_ ? writePaced(output.bytes, lineSpeed) : pty_.writeAll(output.bytes));
  if (!sent) flags |= traffic_flag::kNotSent;

  {
    std::lock_guard lock(mutex_);
    TrafficRecord record = makeRecord(RecordType::ToHost, output.bytes, flags);
    record.deviceSpeed = lineSpeed;
    addRecord(std::move(record));
  }
  publishRecords();
}

bool PtyDevice::writePaced(std::span<const std::uint8_t> bytes, int speed) {
  const long long step = byteTime(speed).count();
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  for (std::uint8_t byte : bytes) {
    if (stopRequested_) return false;
    if (!pty_.writeAll(std::span(&byte, 1))) return false;
    long long ns = deadline.tv_nsec + step;
    deadline.tv_sec += static_cast<time_t>(ns / 1'000'000'000LL);
    deadline.tv_nsec = static_cast<long>(ns % 1'000'000'000LL);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
  }
  return true;
}

}  // namespace readersim
