// The barcode decodes the library announces, as readerctl receives them.
#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "decode_report.h"

namespace readerctl {

// Listens for "WM_DECODEDATA" with wParam 7 while it exists (it is the
// process's one broadcast listener) and reads each decode as soon as it is
// announced, since a later decode replaces the result the queries return. On
// POSIX the announcement comes from the library's window procedure, before
// any later decode; on Windows it is a posted broadcast, read at the next
// dispatch.
class DecodeAnnouncements {
 public:
  DecodeAnnouncements();
  ~DecodeAnnouncements();
  DecodeAnnouncements(const DecodeAnnouncements &) = delete;
  DecodeAnnouncements &operator=(const DecodeAnnouncements &) = delete;

  // False when the announcements cannot be heard.
  bool listening() const { return listening_; }

  // The oldest decode not yet taken.
  std::optional<Decode> take();

 private:
  static void onBroadcast(const char *message, long wParam, long lParam, void *context);

  const bool textEngine_;
  bool listening_ = false;
  std::mutex mutex_;
  std::deque<Decode> decodes_;
};

}  // namespace readerctl
