// InitReader, InitReaderEx, HaltReader.
#include <3100XE_DLL.h>

#include <string>

#include "api/api_guard.h"
#include "api/device_open.h"
#include "api/library.h"
#include "api/window_procedure.h"
#include "api/worker_threads.h"
#include "core/channel_error.h"
#include "core/device_kind.h"
#include "platform/terminal_drivers.h"
#include "settings/library_options.h"

namespace reader {

namespace {

bool registerMessages(Library &lib) {
  ReaderMessages &m = lib.messages;
  m.user1Down = platform::registerWindowMessage("WM_USER1DOWN");
  m.user2Down = platform::registerWindowMessage("WM_USER2DOWN");
  m.user1Up = platform::registerWindowMessage("WM_USER1UP");
  m.user2Up = platform::registerWindowMessage("WM_USER2UP");
  m.decode = platform::registerWindowMessage("WM_DECODE");
  m.decodeData = platform::registerWindowMessage("WM_DECODEDATA");
  return true;
}

// The first four steps of every start: messages, events, the options reset,
// the hidden window on the calling thread.
bool prepareStart(Library &lib) {
  registerMessages(lib);
  lib.events.createMissing();
  resetOptionsOnStart(lib.options);
  // The window went with the thread that created it when that thread ended:
  // a new one is made on this thread.
  if (lib.readerWindow == 0 || !platform::isWindow(lib.readerWindow)) {
    if (!lib.windowClassRegistered) {
      if (!platform::registerWindowClass(kWindowClassName, readerWindowProcedure)) return false;
      lib.windowClassRegistered = true;
    }
    const platform::WindowHandle window = platform::createWindow(kWindowClassName);
    if (window == 0) return false;
    lib.readerWindow = window;
  }
  return true;
}

// Starts the threads of what is present. A start whose threads cannot all
// run would report devices that never scan: false then.
bool startThreads(Library &lib) {
  bool started = true;
  if (lib.device.barcodePresent) started = startBarcodeThreads(lib) && started;
  if (lib.device.rfidPresent) {
    started = startRfidThread(lib) && started;
    // The hex-frame module's idle close, started with the module.
    if (lib.device.rfidKind() == DeviceKind::HexModule && !lib.device.idleThread) started = false;
  }
  return startFeedbackThreads(lib) && started;
}

// Closes the devices this start opened (those whose port was closed before
// it), so that a failed start leaves nothing open and a later one can try
// again.
void closeOpenedBy(Library &lib, bool barcodeWasOpen, bool rfidWasOpen) {
  if (!barcodeWasOpen && lib.device.barcodeKind() != 0) closeDevice(lib.device, kBarcodeDevice);
  if (!rfidWasOpen && lib.device.rfidKind() != 0) closeDevice(lib.device, kRfidDevice);
}

struct OpenBefore {
  bool barcode;
  bool rfid;
  explicit OpenBefore(const ReaderDevice &device) : barcode(device.barcodeKind() != 0), rfid(device.rfidKind() != 0) {}
};

int initReader() {
  Library &lib = library();
  if (!prepareStart(lib)) return READER_ERR_START_FAILED;
  // Before the ports: the terminal's configuration may name them.
  platform::startTerminalDrivers();
  const OpenBefore before(lib.device);
  claimDevices(lib.device);
  std::uint32_t code = 0;
  const bool opened = openDevices(lib.device, lib.ssiKnown, true, true, code);
  if (!opened && code == ChannelError::AlreadyOpen) return READER_ERR_ALREADY_STARTED;
  if (!opened && code != ChannelError::BarcodeFailed && code != ChannelError::RfidFailed)
    return READER_ERR_START_FAILED;
  if (!startThreads(lib)) {
    closeOpenedBy(lib, before.barcode, before.rfid);
    return READER_ERR_START_FAILED;
  }
  if (opened) return READER_OK;
  return code == ChannelError::BarcodeFailed ? READER_ERR_BARCODE_FAILED : READER_ERR_RFID_FAILED;
}

int initReaderEx() {
  Library &lib = library();
  if (!prepareStart(lib)) return READER_ERR_START_FAILED;
  const std::string driverProblems = platform::startTerminalDrivers();
  const OpenBefore before(lib.device);
  claimDevices(lib.device);
  const bool opened = openDevicesEx(lib.device, lib.ssiKnown, 1, 1);
  // What the terminal's configuration or its drivers could not do follows
  // the devices' own text.
  if (!driverProblems.empty()) lib.device.initMessage.appendText(driverProblems.c_str());
  if (!opened && !lib.device.barcodePresent && !lib.device.rfidPresent) return READER_ERR_START_FAILED;
  if (!startThreads(lib)) {
    closeOpenedBy(lib, before.barcode, before.rfid);
    return READER_ERR_START_FAILED;
  }
  return READER_OK;
}

// A start that leaves no device open keeps none of the terminal's drivers
// running: the trigger keys and the virtual keyboard serve the devices.
int stopDriversWithoutDevices(int result) {
  const ReaderDevice &device = library().device;
  if (device.barcodeKind() == 0 && device.rfidKind() == 0) platform::stopTerminalDrivers();
  return result;
}

int haltReader(int mask) {
  Library &lib = library();
  // A forked child: the call that brought it here has already closed its
  // copies of the parent's ports; nothing else is touched.
  if (lib.inheritedReleased.exchange(false)) return READER_OK;
  ReaderDevice &device = lib.device;
  if (device.barcodeKind() == 0 && device.rfidKind() == 0) return stopDriversWithoutDevices(READER_ERR_NO_DEVICE);
  if ((mask & READER_DEVICE_BARCODE) != 0 && device.barcodeKind() != 0) {
    closeDevice(device, kBarcodeDevice);
    lib.events.closeBarcode();
  }
  if ((mask & READER_DEVICE_RFID) != 0 && device.rfidKind() != 0) {
    closeDevice(device, kRfidDevice);
    lib.events.closeRfid();
  }
  return stopDriversWithoutDevices(READER_OK);
}

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL InitReader(void) {
  return reader::guarded(READER_ERR_START_FAILED,
                         [] { return reader::stopDriversWithoutDevices(reader::initReader()); });
}

READER_API int READER_CALL InitReaderEx(void) {
  return reader::guarded(READER_ERR_START_FAILED,
                         [] { return reader::stopDriversWithoutDevices(reader::initReaderEx()); });
}

READER_API int READER_CALL HaltReader(int deviceMask) {
  return reader::guarded(READER_ERR_NO_DEVICE, [deviceMask] { return reader::haltReader(deviceMask); });
}

}  // extern "C"
