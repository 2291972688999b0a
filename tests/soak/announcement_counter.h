// Counts the decode announcements (WM_DECODEDATA) a host application
// receives, per device mask, without keeping anything per announcement: a
// long run must not grow in the test's own memory.
#pragma once

#include <3100XE_DLL.h>

#include <atomic>
#include <chrono>
#include <cstring>

namespace soak_testing {

class AnnouncementCounter {
 public:
  AnnouncementCounter() { ReaderHostSetBroadcastListener(&AnnouncementCounter::onBroadcast, this); }
  ~AnnouncementCounter() { ReaderHostSetBroadcastListener(nullptr, nullptr); }
  AnnouncementCounter(const AnnouncementCounter &) = delete;
  AnnouncementCounter &operator=(const AnnouncementCounter &) = delete;

  long barcode() const { return barcode_.load(); }
  long rfid() const { return rfid_.load(); }
  // Announcements with any other wParam: none are expected.
  long other() const { return other_.load(); }

  // Dispatches the calling thread's messages until `count()` reaches
  // `target`; false when the hang guard ran out first.
  template <class Count>
  static bool dispatchUntil(Count count, long target, std::chrono::milliseconds guard) {
    const auto deadline = std::chrono::steady_clock::now() + guard;
    while (count() < target) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      ReaderHostDispatch(20);
    }
    return true;
  }

  // Dispatches whatever is already queued.
  static void drain() {
    while (ReaderHostDispatch(0) > 0) {
    }
  }

 private:
  static void onBroadcast(const char *message, long wParam, long, void *context) {
    if (std::strcmp(message, "WM_DECODEDATA") != 0) return;
    auto *self = static_cast<AnnouncementCounter *>(context);
    (wParam == READER_DEVICE_BARCODE ? self->barcode_ : wParam == READER_DEVICE_RFID ? self->rfid_ : self->other_)++;
  }

  std::atomic<long> barcode_{0};
  std::atomic<long> rfid_{0};
  std::atomic<long> other_{0};
};

}  // namespace soak_testing
