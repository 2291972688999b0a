// The traffic log of one simulated device: every frame received, every
// answer sent, and the port events, in order. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "readersim/traffic_record.h"

namespace readersim {

class TrafficLog {
 public:
  using Listener = std::function<void(const TrafficRecord &)>;
  using Predicate = std::function<bool(const std::vector<TrafficRecord> &)>;
  using Match = std::function<bool(const TrafficRecord &)>;

  void append(TrafficRecord record);

  std::vector<TrafficRecord> snapshot() const;
  std::size_t size() const;
  void clear();

  // Waits until `predicate` holds for the records (checked at once and after
  // every append; never by polling). false on time-out.
  bool waitFor(const Predicate &predicate, std::chrono::milliseconds timeout) const;
  // Waits until at least `count` records match.
  bool waitForCount(const Match &match, std::size_t count, std::chrono::milliseconds timeout) const;

  // Called on the appending thread for every record appended from now on, in
  // order. The listener may read the log but must not call setListener.
  void setListener(Listener listener);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<TrafficRecord> records_;

  std::mutex listenerMutex_;
  Listener listener_;
};

}  // namespace readersim
