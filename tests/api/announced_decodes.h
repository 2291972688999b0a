// Every barcode announcement (WM_DECODEDATA 7) with the decode it announced,
// read while the window procedure announces it: the data and type code that
// GetDecodeData and GetDecodeType give at that moment.
#pragma once

#include <3100XE_DLL.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace scan_testing {

class AnnouncedDecodes {
 public:
  AnnouncedDecodes() { ReaderHostSetBroadcastListener(&AnnouncedDecodes::listen, this); }
  ~AnnouncedDecodes() { ReaderHostSetBroadcastListener(nullptr, nullptr); }
  AnnouncedDecodes(const AnnouncedDecodes &) = delete;
  AnnouncedDecodes &operator=(const AnnouncedDecodes &) = delete;

  std::size_t count() const {
    std::lock_guard lock(mutex_);
    return data_.size();
  }
  std::vector<std::string> data() const {
    std::lock_guard lock(mutex_);
    return data_;
  }
  std::vector<int> types() const {
    std::lock_guard lock(mutex_);
    return types_;
  }

 private:
  static void listen(const char *message, long wParam, long, void *context) {
    if (std::string(message) != "WM_DECODEDATA" || wParam != READER_DEVICE_BARCODE) return;
    auto *self = static_cast<AnnouncedDecodes *>(context);
    std::vector<char> buffer(70000);  // past the frame bound
    const int n = GetDecodeData(buffer.data(), static_cast<int>(buffer.size()));
    const int type = GetDecodeType();
    std::lock_guard lock(self->mutex_);
    self->data_.emplace_back(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
    self->types_.push_back(type);
  }

  mutable std::mutex mutex_;
  std::vector<std::string> data_;
  std::vector<int> types_;
};

}  // namespace scan_testing
