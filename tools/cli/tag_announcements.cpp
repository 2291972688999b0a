#include "tag_announcements.h"

#include <3100XE_DLL.h>

#include <cstring>
#include <exception>

#include "host_adapter.h"
#include "last_tag.h"

namespace readerctl {

TagAnnouncements::TagAnnouncements() { listening_ = host::setBroadcastListener(&TagAnnouncements::onBroadcast, this); }

TagAnnouncements::~TagAnnouncements() { host::setBroadcastListener(nullptr, nullptr); }

std::optional<Tag> TagAnnouncements::take() {
  std::lock_guard lock(mutex_);
  if (tags_.empty()) return std::nullopt;
  Tag tag = std::move(tags_.front());
  tags_.pop_front();
  return tag;
}

void TagAnnouncements::onBroadcast(const char *message, long wParam, long, void *context) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0 || wParam != READER_DEVICE_RFID) return;
  auto *self = static_cast<TagAnnouncements *>(context);
  try {
    Tag tag = lastTag();
    std::lock_guard lock(self->mutex_);
    self->tags_.push_back(std::move(tag));
  } catch (const std::exception &) {
    // Out of memory: the tag is lost, but nothing may unwind into the library.
  }
}

}  // namespace readerctl
