// GetReaderSettings, SetReaderSettings, ResetReaderToDefault,
// GetDllDefaultSettings.
#include <3100XE_DLL.h>

#include <cstdint>

#include "api/api_guard.h"
#include "api/library.h"
#include "settings/settings_record.h"

namespace reader {

namespace {

SettingsContext settingsContext() {
  Library &lib = library();
  return {lib.device, lib.options, lib.ssiKnown, lib.autoScanSem};
}

}  // namespace

static_assert(READER_SETTINGS_RECORD_SIZE == kSettingsRecordBytes);

}  // namespace reader

extern "C" {

READER_API int READER_CALL GetReaderSettings(unsigned char *record) {
  return reader::guarded(READER_ERR_SETTINGS, [record] {
    reader::SettingsContext context = reader::settingsContext();
    return reader::getReaderSettings(context, record);
  });
}

READER_API int READER_CALL SetReaderSettings(const unsigned char *record) {
  return reader::guarded(READER_ERR_SETTINGS, [record] {
    reader::SettingsContext context = reader::settingsContext();
    return reader::setReaderSettings(context, record);
  });
}

READER_API int READER_CALL ResetReaderToDefault(int deviceMask) {
  return reader::guarded(READER_ERR_BARCODE_FAILED, [deviceMask] {
    reader::SettingsContext context = reader::settingsContext();
    return reader::resetReaderToDefault(context, deviceMask);
  });
}

READER_API int READER_CALL GetDllDefaultSettings(unsigned char *record) {
  return reader::guarded(READER_ERR_SETTINGS, [record] {
    reader::SettingsContext context = reader::settingsContext();
    return reader::getDllDefaultSettings(context, record);
  });
}

}  // extern "C"
