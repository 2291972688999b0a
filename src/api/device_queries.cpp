// What the library found, which devices take part in scanning, the trigger
// keys, the version and the terminal's serial number.
#include <3100XE_DLL.h>

#include <cstring>

#include "api/api_guard.h"
#include "api/buffer_copy.h"
#include "api/library.h"
#include "core/device_kind.h"
#include "platform/terminal_identity.h"

namespace reader {

namespace {

constexpr const char *kVersionText = "2.00.0027";

// The reader type bit of each device kind.
struct KindBit {
  int kind;
  int bit;
};
constexpr KindBit kReaderTypeBits[] = {
    {DeviceKind::TextEngine, READER_TYPE_TEXT_ENGINE},  {DeviceKind::SsiEngine3, READER_TYPE_SSI_ENGINE_3},
    {DeviceKind::SsiEngine4, READER_TYPE_SSI_ENGINE_4}, {DeviceKind::AsciiModule, READER_TYPE_ASCII_MODULE},
    {DeviceKind::HexModule, READER_TYPE_HEX_MODULE},
};

int readerTypeBit(int kind) {
  for (const KindBit &entry : kReaderTypeBits)
    if (entry.kind == kind) return entry.bit;
  return 0;
}

int readerType() {
  const ReaderDevice &device = library().device;
  return readerTypeBit(device.barcodeKind()) | readerTypeBit(device.rfidKind());
}

int activeDevice() {
  const ReaderDevice &device = library().device;
  const int kind = device.barcodeKind();
  const bool barcode = device.barcodePresent != 0 && kind >= DeviceKind::TextEngine && kind <= DeviceKind::SsiEngine4;
  if (device.rfidPresent == 0) return barcode ? READER_DEVICE_BARCODE : 0;
  return barcode ? READER_DEVICE_ALL : READER_DEVICE_RFID;
}

int setActiveDevice(int mask) {
  ReaderDevice &device = library().device;
  const bool barcode = (mask & READER_DEVICE_BARCODE) != 0;
  if (barcode && device.barcodeKind() == 0) return READER_ERR_NO_BARCODE;
  device.barcodePresent = barcode ? 1 : 0;
  const bool rfid = (mask & READER_DEVICE_RFID) != 0;
  if (rfid && device.rfidKind() == 0) return READER_ERR_NO_RFID;
  device.rfidPresent = rfid ? 1 : 0;
  return READER_OK;
}

int serialNumber(char *buffer, int size) {
  if (buffer == nullptr || size < 1) return READER_ERR_BAD_BUFFER;
  char text[100] = {};
  platform::queryDeviceInformation(platform::kInfoSerialNumber, text, sizeof text);
  const std::size_t n = strnlen(text, sizeof text - 1);
  // One byte more than the buffer copy rule: a buffer of length + 1 bytes
  // gets the whole text and its NUL, and the result is the size.
  if (size > static_cast<long long>(n) + 1) {
    std::memcpy(buffer, text, n + 1);
    return static_cast<int>(n);
  }
  std::memcpy(buffer, text, static_cast<std::size_t>(size) <= n ? static_cast<std::size_t>(size) : n);
  buffer[size - 1] = 0;
  return size;
}

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL GetReaderType(void) { return reader::guarded(0, reader::readerType); }

READER_API int READER_CALL GetActiveDevice(void) { return reader::guarded(0, reader::activeDevice); }

READER_API int READER_CALL SetActiveDevice(int deviceMask) {
  return reader::guarded(READER_ERR_NO_BARCODE, [deviceMask] { return reader::setActiveDevice(deviceMask); });
}

READER_API int READER_CALL GetTriggerKeyStatus(void) { return reader::library().triggerKeyEnabled; }

READER_API int READER_CALL SetTriggerKey(int enable) {
  reader::library().triggerKeyEnabled = enable;
  return READER_OK;
}

READER_API int READER_CALL GetDllVer(char *buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  reader::copyToBuffer(reader::kVersionText, buffer, size);
  return READER_OK;
}

READER_API int READER_CALL GetSerialNumber(char *buffer, int size) {
  return reader::guarded(READER_ERR_BAD_BUFFER, [buffer, size] { return reader::serialNumber(buffer, size); });
}

}  // extern "C"
