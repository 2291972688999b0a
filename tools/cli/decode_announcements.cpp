#include "decode_announcements.h"

#include <3100XE_DLL.h>

#include <cstring>
#include <exception>

#include "decode_type_names.h"
#include "host_adapter.h"
#include "whole_result.h"

namespace readerctl {

DecodeAnnouncements::DecodeAnnouncements() : textEngine_((GetReaderType() & READER_TYPE_TEXT_ENGINE) != 0) {
  listening_ = host::setBroadcastListener(&DecodeAnnouncements::onBroadcast, this);
}

DecodeAnnouncements::~DecodeAnnouncements() { host::setBroadcastListener(nullptr, nullptr); }

std::optional<Decode> DecodeAnnouncements::take() {
  std::lock_guard lock(mutex_);
  if (decodes_.empty()) return std::nullopt;
  Decode decode = std::move(decodes_.front());
  decodes_.pop_front();
  return decode;
}

void DecodeAnnouncements::onBroadcast(const char *message, long wParam, long, void *context) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0 || wParam != READER_DEVICE_BARCODE) return;
  auto *self = static_cast<DecodeAnnouncements *>(context);
  try {
    Decode decode;
    decode.typeCode = GetDecodeType();
    if (const char *name = decodeTypeName(decode.typeCode, self->textEngine_)) decode.typeName = name;
    decode.data = readWhole([](char *buffer, int size) { return GetDecodeData(buffer, size); });
    decode.outputRecord =
        readWhole([](char *buffer, int size) { return GetOutputRecord(READER_DEVICE_BARCODE, buffer, size); });
    std::lock_guard lock(self->mutex_);
    self->decodes_.push_back(std::move(decode));
  } catch (const std::exception &) {
    // Out of memory: the decode is lost, but nothing may unwind into the library.
  }
}

}  // namespace readerctl
