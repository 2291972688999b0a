#include "readersim/barcode_engine.h"

#include <algorithm>
#include <stdexcept>

#include "readersim/time_scale.h"

namespace readersim {

BarcodeEngine::BarcodeEngine(int kind, int startSpeed) : PtyDevice(kind, startSpeed) {}

// --- what is in view ------------------------------------------------------------

void BarcodeEngine::present(ScanOutcome outcome) {
  {
    std::lock_guard lock(mutex());
    queue_.push_back(std::move(outcome));
  }
  wake();
}

void BarcodeEngine::presentBarcode(Barcode barcode) {
  if (auto why = refusal(barcode)) throw std::invalid_argument(*why);
  present(std::move(barcode));
}

void BarcodeEngine::presentNoRead() { present(NoRead{}); }

void BarcodeEngine::presentSilence() { present(Silence{}); }

void BarcodeEngine::clearPresented() {
  std::lock_guard lock(mutex());
  queue_.clear();
}

void BarcodeEngine::setSteadyBarcode(std::optional<Barcode> barcode) {
  if (barcode) {
    if (auto why = refusal(*barcode)) throw std::invalid_argument(*why);
  }
  {
    std::lock_guard lock(mutex());
    steady_ = std::move(barcode);
  }
  wake();
}

std::optional<Barcode> BarcodeEngine::steadyBarcode() const {
  std::lock_guard lock(mutex());
  return steady_;
}

std::vector<ScanOutcome> BarcodeEngine::presented() const {
  std::lock_guard lock(mutex());
  return {queue_.begin(), queue_.end()};
}

void BarcodeEngine::setDecodeDelay(std::chrono::milliseconds delay) {
  {
    std::lock_guard lock(mutex());
    decodeDelay_ = std::max(delay, std::chrono::milliseconds::zero());
  }
  wake();
}

std::chrono::milliseconds BarcodeEngine::decodeDelay() const {
  std::lock_guard lock(mutex());
  return decodeDelay_;
}

void BarcodeEngine::setRepeatInterval(std::chrono::milliseconds interval) {
  {
    std::lock_guard lock(mutex());
    repeatInterval_ = std::max(interval, std::chrono::milliseconds(1));
  }
  wake();
}

std::chrono::milliseconds BarcodeEngine::repeatInterval() const {
  std::lock_guard lock(mutex());
  return repeatInterval_;
}

void BarcodeEngine::setSessionLimit(std::optional<std::chrono::milliseconds> limit) {
  {
    std::lock_guard lock(mutex());
    sessionLimit_ = limit;
  }
  wake();
}

bool BarcodeEngine::scanning() const {
  std::lock_guard lock(mutex());
  return scanning_;
}

bool BarcodeEngine::cycleOpen() const {
  std::lock_guard lock(mutex());
  return cycleOpen_;
}

bool BarcodeEngine::selfTriggered() const {
  std::lock_guard lock(mutex());
  return selfTriggeredLocked();
}

std::vector<BarcodeEngine::SentDecode> BarcodeEngine::sentDecodes() const {
  std::lock_guard lock(mutex());
  return sent_;
}

std::size_t BarcodeEngine::decodesSent() const {
  std::lock_guard lock(mutex());
  return sent_.size();
}

std::size_t BarcodeEngine::decodesAcknowledged() const {
  std::lock_guard lock(mutex());
  return static_cast<std::size_t>(
      std::count_if(sent_.begin(), sent_.end(), [](const SentDecode &d) { return d.acknowledged; }));
}

std::size_t BarcodeEngine::decodesDropped() const {
  std::lock_guard lock(mutex());
  return dropped_;
}

// --- scan cycles (mutex held) -------------------------------------------------------

bool BarcodeEngine::inViewLocked() const { return !queue_.empty() || steady_.has_value(); }

std::optional<ScanOutcome> BarcodeEngine::takeNextLocked() {
  if (!queue_.empty()) {
    ScanOutcome next = std::move(queue_.front());
    queue_.pop_front();
    return next;
  }
  if (steady_) return *steady_;
  return std::nullopt;
}

void BarcodeEngine::switchOnLocked() {
  scanning_ = true;
  if (cycleOpen_) return;  // switched on twice: still the one scan
  cycleOpen_ = true;
  cycleStart_ = std::chrono::steady_clock::now();
  cycleOutcome_ = takeNextLocked();
}

void BarcodeEngine::switchOffLocked() {
  scanning_ = false;
  if (cycleOpen_ && cycleOutcome_ && std::holds_alternative<Barcode>(*cycleOutcome_)) ++dropped_;
  cycleOpen_ = false;
  cycleOutcome_.reset();
}

void BarcodeEngine::decodeSentLocked(const Barcode &barcode) {
  sent_.push_back({barcode, false});
  awaitingAck_ = true;
}

void BarcodeEngine::acknowledgeDecodeLocked() {
  if (!awaitingAck_) return;
  sent_.back().acknowledged = true;
  awaitingAck_ = false;
}

void BarcodeEngine::onHostOpened() { hostOpenedAt_ = std::chrono::steady_clock::now(); }

void BarcodeEngine::onHostClosed() { switchOffLocked(); }

std::optional<std::chrono::steady_clock::time_point> BarcodeEngine::cycleDueLocked() const {
  if (!cycleOpen_ || (!cycleOutcome_ && !inViewLocked())) return std::nullopt;
  return cycleStart_ + scaled(decodeDelay_);
}

std::optional<std::chrono::steady_clock::time_point> BarcodeEngine::selfScanDueLocked() const {
  if (!selfTriggeredLocked() || !hostOpenLocked() || !inViewLocked()) return std::nullopt;
  const auto interval = scaled(repeatInterval_);
  return std::max({nextSelfScan_, lastByteTimeLocked() + interval, hostOpenedAt_ + interval});
}

std::optional<std::chrono::steady_clock::time_point> BarcodeEngine::sessionEndDueLocked() const {
  if (!sessionLimit_ || !cycleOpen_ || cycleDueLocked()) return std::nullopt;
  return cycleStart_ + scaled(*sessionLimit_);
}

std::optional<std::chrono::steady_clock::time_point> BarcodeEngine::timerDue() const {
  std::optional<TimePoint> first;
  for (auto due : {cycleDueLocked(), selfScanDueLocked(), sessionEndDueLocked()})
    if (due && (!first || *due < *first)) first = due;
  return first;
}

void BarcodeEngine::onTimer() {
  const auto now = std::chrono::steady_clock::now();
  if (auto due = cycleDueLocked(); due && now >= *due) {
    if (!cycleOutcome_) cycleOutcome_ = takeNextLocked();
    ScanOutcome outcome = std::move(*cycleOutcome_);
    cycleOutcome_.reset();
    cycleOpen_ = false;
    sendOutcomeLocked(outcome);
  }
  if (auto due = selfScanDueLocked(); due && now >= *due) {
    nextSelfScan_ = now + scaled(repeatInterval_);
    sendOutcomeLocked(*takeNextLocked());
  }
  if (auto due = sessionEndDueLocked(); due && now >= *due) switchOffLocked();
}

}  // namespace readersim
