// The settings record: one packed 401-byte record that carries every engine
// setting of the fitted barcode engine (one section per engine kind) and the
// library-wide options, and the four calls that move it between the caller,
// the engine and the library.
#pragma once

#include <cstdint>

#include "core/reader_device.h"
#include "platform/semaphore.h"
#include "settings/library_options.h"
#include "settings/settings_record_layout.h"  // kSettingsRecordBytes
#include "settings/ssi_known_values.h"

namespace reader {

// What the settings calls work on.
struct SettingsContext {
  ReaderDevice &device;
  LibraryOptions &options;
  // What the library knows of an SSI engine's values.
  SsiKnownValues &ssiKnown;
  // The self-triggered scan loop of the text engine: given its token (the
  // barcode channel's autoScanToken) and released when such a trigger mode
  // is written; the token is taken back when another mode is.
  platform::Semaphore &autoScanSem;
};

// Each returns an API code: 1, or -121 for a null record.
int getReaderSettings(SettingsContext &context, std::uint8_t *record);
int setReaderSettings(SettingsContext &context, const std::uint8_t *record);

// 1; -101 with no device at all; -111 / -112 when the engine's or the
// module's default set-up failed. Mask bits 1, 2, 4 select the engine, 32
// the module.
int resetReaderToDefault(SettingsContext &context, int deviceMask);

// The reset for both devices, then the record; 1, -101 or -121.
int getDllDefaultSettings(SettingsContext &context, std::uint8_t *record);

}  // namespace reader
