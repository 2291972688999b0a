#include "readersim/traffic_log.h"

#include <algorithm>
#include <utility>

namespace readersim {

void TrafficLog::append(TrafficRecord record) {
  std::lock_guard listenerLock(listenerMutex_);
  {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
  }
  changed_.notify_all();
  if (listener_) listener_(record);
}

std::vector<TrafficRecord> TrafficLog::snapshot() const {
  std::lock_guard lock(mutex_);
  return records_;
}

std::size_t TrafficLog::size() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

void TrafficLog::clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

bool TrafficLog::waitFor(const Predicate &predicate, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return predicate(records_); });
}

bool TrafficLog::waitForCount(const Match &match, std::size_t count, std::chrono::milliseconds timeout) const {
  return waitFor(
      [&](const std::vector<TrafficRecord> &records) {
        return static_cast<std::size_t>(std::count_if(records.begin(), records.end(), match)) >= count;
      },
      timeout);
}

void TrafficLog::setListener(Listener listener) {
  std::lock_guard lock(listenerMutex_);
  listener_ = std::move(listener);
}

}  // namespace readersim
