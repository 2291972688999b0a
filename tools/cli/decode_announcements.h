// The barcode decodes the library announces, as readerctl receives them.
#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "decode_report.h"

namespace readerctl {

// Listens for "WM_DECODEDATA" with wParam 7 while it exists (it is the
// process's one broadcast listener) and reads each decode at once: the
// announcement comes from the window procedure, before a later decode can
// replace the result the queries return.
class DecodeAnnouncements {
 public:
  DecodeAnnouncements();
  ~DecodeAnnouncements();
  DecodeAnnouncements(const DecodeAnnouncements &) = delete;
  DecodeAnnouncements &operator=(const DecodeAnnouncements &) = delete;

  // The oldest decode not yet taken.
  std::optional<Decode> take();

 private:
  static void onBroadcast(const char *message, long wParam, long lParam, void *context);

  const bool textEngine_;
  std::mutex mutex_;
  std::deque<Decode> decodes_;
};

}  // namespace readerctl
