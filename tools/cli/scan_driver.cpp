#include "scan_driver.h"

#include <3100XE_DLL.h>

#include <array>

#include "result_text.h"
#include "settings_fields.h"

namespace readerctl {

namespace {

constexpr int kTriggerKey = 1;
constexpr int kEngineTypes = READER_TYPE_TEXT_ENGINE | READER_TYPE_SSI_ENGINE_3 | READER_TYPE_SSI_ENGINE_4;
constexpr int kDispatchSliceMs = 20;

bool selfTriggered(int triggerMode) { return triggerMode == 1 || triggerMode == 5 || triggerMode == 7; }

}  // namespace

ScanDriver::~ScanDriver() {
  if (held_) {
    letUp(Clock::now());
    ReaderHostDispatch(0);
  }
}

bool ScanDriver::begin(std::ostream &err) {
  if ((GetReaderType() & kEngineTypes) == 0 || (GetActiveDevice() & READER_DEVICE_BARCODE) == 0) {
    err << "readerctl: no barcode engine is at work\n";
    return false;
  }
  SetTriggerKey(1);
  if ((GetReaderType() & READER_TYPE_TEXT_ENGINE) == 0) return true;

  std::array<unsigned char, READER_SETTINGS_RECORD_SIZE> record{};
  const int read = GetReaderSettings(record.data());
  if (read != READER_OK) {
    err << "readerctl: GetReaderSettings failed with " << read << ": " << describeResult(read) << "\n";
    return false;
  }
  const int mode = record[static_cast<std::size_t>(findSettingsField("k2.trigger_mode")->offset)];
  if (!selfTriggered(mode)) return true;
  const int written = SetReaderSettings(record.data());
  if (written != READER_OK) {
    err << "readerctl: SetReaderSettings failed with " << written << ": " << describeResult(written) << "\n";
    return false;
  }
  selfTriggeredMode_ = mode;
  return true;
}

std::optional<Decode> ScanDriver::next(DecodeAnnouncements &decodes, Clock::time_point deadline,
                                       const std::atomic<bool> &stop) {
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (std::optional<Decode> decode = decodes.take()) {
      if (held_) letUp(now);
      return decode;
    }
    if (stop || now >= deadline) {
      if (held_) letUp(now);
      return std::nullopt;
    }
    if (!selfTriggeredMode_) {
      if (held_ && now - pressedAt_ >= timing_.hold) {
        letUp(now);
      } else if (!held_ && now - releasedAt_ >= timing_.pause) {
        press(now);
      }
    }
    ReaderHostDispatch(kDispatchSliceMs);
  }
}

void ScanDriver::press(Clock::time_point now) {
  ReaderHostTriggerKey(kTriggerKey, 1);
  held_ = true;
  pressedAt_ = now;
}

void ScanDriver::letUp(Clock::time_point now) {
  ReaderHostTriggerKey(kTriggerKey, 0);
  held_ = false;
  releasedAt_ = now;
}

}  // namespace readerctl
