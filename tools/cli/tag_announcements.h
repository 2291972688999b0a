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
// as soon as it is announced, since a later read replaces the result the
// queries return (on Windows the announcement is a posted broadcast, read at
// the next dispatch).
class TagAnnouncements {
 public:
  TagAnnouncements();
  ~TagAnnouncements();
  TagAnnouncements(const TagAnnouncements &) = delete;
  TagAnnouncements &operator=(const TagAnnouncements &) = delete;

  // False when the announcements cannot be heard.
  bool listening() const { return listening_; }

  // The oldest tag not yet taken.
  std::optional<Tag> take();

 private:
  static void onBroadcast(const char *message, long wParam, long lParam, void *context);

  bool listening_ = false;
  std::mutex mutex_;
  std::deque<Tag> tags_;
};

}  // namespace readerctl
