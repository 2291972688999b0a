// The RFID tags the library announces after a trigger press (its auto-read),
// as readerctl receives them.
#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "tag_report.h"

namespace readerctl {

// Listens for "WM_DECODEDATA" with wParam 32 while it exists (it is the
// process's one broadcast listener) and reads each tag's type, UID and data
// at once: the announcement comes from the window procedure, before a later
// read can replace the result the queries return.
class TagAnnouncements {
 public:
  TagAnnouncements();
  ~TagAnnouncements();
  TagAnnouncements(const TagAnnouncements &) = delete;
  TagAnnouncements &operator=(const TagAnnouncements &) = delete;

  // The oldest tag not yet taken.
  std::optional<Tag> take();

 private:
  static void onBroadcast(const char *message, long wParam, long lParam, void *context);

  std::mutex mutex_;
  std::deque<Tag> tags_;
};

}  // namespace readerctl
