#include "scan_driver.h"

#include <3100XE_DLL.h>

#include <array>

#include "result_text.h"
#include "settings_fields.h"

namespace readerctl {

namespace {

constexpr int kEngineTypes = READER_TYPE_TEXT_ENGINE | READER_TYPE_SSI_ENGINE_3 | READER_TYPE_SSI_ENGINE_4;

bool selfTriggered(int triggerMode) { return triggerMode == 1 || triggerMode == 5 || triggerMode == 7; }

}  // namespace

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
  std::optional<Decode> decode;
  presser_.dispatchUntil([&] { return (decode = decodes.take()).has_value(); }, deadline, stop,
                         pressing_ && !selfTriggeredMode_);
  return decode;
}

}  // namespace readerctl
