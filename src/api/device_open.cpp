#include "api/device_open.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/port_lock.h"
#include "core/serial_channel.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/thread.h"
#include "settings/default_setup.h"

namespace reader {

namespace {

enum class Route { Hardware, Request };

// The engine needs time after its port opens before it answers.
constexpr std::uint32_t kEngineSettleMs = 500;

// A port that cannot be opened: on the hardware route, the device the
// hardware text names is fitted all the same, and has failed.
void portNotOpened(DeviceChannel &channel, Route route, int model, bool &portFailed) {
  portFailed = true;
  if (route == Route::Hardware) channel.kind = fittedKind(channel, model);
}

// `portOpened` (when given) is called once the engine's port is open, before
// the engine is waited for.
bool openBarcode(ReaderDevice &device, SsiKnownValues &known, Route route, int request, bool &portFailed,
                 const std::function<void()> &portOpened = {}) {
  DeviceChannel &channel = device.barcode;
  const auto held = PortLock::take(channel);
  if (!held) return false;
  const PortLock &lock = *held;
  channel.portNumber = 1;
  if (!openPort(lock)) {
    portNotOpened(channel, route, device.model, portFailed);
    return false;
  }
  if (portOpened) portOpened();
  platform::sleepMs(kEngineSettleMs);
  const bool identified = route == Route::Hardware ? identifyByHardware(lock, device.model)
                                                   : identifyByRequest(lock, request, device.model);
  if (!identified) {
    closePort(lock);
    return false;
  }
  // On the probing route the engine gets its default set-up; the device is
  // open whatever the set-up gives.
  if (route == Route::Request) applyDefaultSetup(lock, known);
  return true;
}

bool openModule(const PortLock &lock, ReaderDevice &device, SsiKnownValues &known, Route route, int request,
                bool &portFailed, bool &setUpFailed) {
  DeviceChannel &channel = lock.channel();
  channel.portNumber = 2;
  if (!openPort(lock)) {
    portNotOpened(channel, route, device.model, portFailed);
    return false;
  }
  const bool identified = route == Route::Hardware ? identifyByHardware(lock, device.model)
                                                   : identifyByRequest(lock, request, device.model);
  if (!identified) {
    closePort(lock);
    return false;
  }
  if (channel.kind == DeviceKind::AsciiModule) {
    // The ASCII module's port is open only while it scans.
    closePort(lock);
    applyDefaultSetup(lock, known);
    return true;
  }
  // Hex-frame module: its port stays open until the idle-close thread closes
  // it. One idle-close thread per channel: a second start after an idle
  // close keeps the one that runs.
  if (!device.idleThread) startIdleCloseThread(device);
  if (applyDefaultSetup(lock, known)) return true;
  // A module that cannot be set up is closed again, as one that fails
  // identification is, so that no port stays open behind a kind of 0.
  closePort(lock);
  setUpFailed = true;
  return false;
}

bool openRfid(ReaderDevice &device, SsiKnownValues &known, Route route, int request, bool &portFailed) {
  bool opened = false;
  bool setUpFailed = false;
  if (const auto lock = PortLock::take(device.rfid))
    opened = openModule(*lock, device, known, route, request, portFailed, setUpFailed);
  // Outside portLock: the idle-close thread may be waiting for it.
  if (setUpFailed) stopIdleCloseThread(device);
  return opened;
}

// The device and the system's reason, on a line of its own after the
// failure text, when the port itself could not be opened. The RFID text has
// no line end of its own (`endLineFirst`).
void appendOpenFailure(ByteString &message, int portNumber, bool portFailed, bool endLineFirst) {
  if (!portFailed) return;
  const std::string description = platform::SerialPort::lastOpenFailure(portNumber);
  if (description.empty()) return;
  if (endLineFirst) message.appendText("\r\n");
  message.appendText(description);
  message.appendText("\r\n");
}

// The engine and the module are separate devices on separate ports, and
// opening each is mostly waiting (settle times, probe time-outs): once the
// engine's port is open, the module is opened on a thread of its own while
// the calling thread waits for the engine. Each port sees the traffic it
// would see alone. An engine port that does not open (say, in a forked child
// whose parent holds it) takes no time, and neither does a thread: the module
// is then opened after it, as it is without a thread to spare.
template <class OpenBarcode, class OpenRfid>
void openBoth(OpenBarcode &&openBarcodeSide, OpenRfid &&openRfidSide) {
  std::exception_ptr rfidFailure;
  std::unique_ptr<platform::Thread> rfidThread;
  const std::function<void()> startRfid = [&] {
    rfidThread = platform::Thread::start(
        [&openRfidSide, &rfidFailure] {
          try {
            openRfidSide();
          } catch (...) {
            rfidFailure = std::current_exception();
          }
        },
        "reader-open");
  };
  try {
    openBarcodeSide(startRfid);
  } catch (...) {
    if (rfidThread) rfidThread->join();
    throw;
  }
  if (!rfidThread) {
    openRfidSide();
    return;
  }
  rfidThread->join();
  if (rfidFailure) std::rethrow_exception(rfidFailure);
}

}  // namespace

bool openDevices(ReaderDevice &device, SsiKnownValues &known, bool barcodeWanted, bool rfidWanted,
                 std::uint32_t &resultCode) {
  resultCode = 0;
  if (device.barcode.port.isOpen() || device.rfid.port.isOpen()) {
    resultCode = ChannelError::AlreadyOpen;
    return false;
  }
  device.model = readModel();
  // The kinds left behind already tell a failed open.
  bool barcodePortFailed = false, rfidPortFailed = false;
  const auto barcodeSide = [&](const std::function<void()> &portOpened) {
    if (barcodeWanted)
      device.barcodePresent = openBarcode(device, known, Route::Hardware, 0, barcodePortFailed, portOpened) ? 1 : 0;
  };
  const auto rfidSide = [&] {
    if (rfidWanted) device.rfidPresent = openRfid(device, known, Route::Hardware, 0, rfidPortFailed) ? 1 : 0;
  };
  if (barcodeWanted && rfidWanted) {
    openBoth(barcodeSide, rfidSide);
  } else {
    barcodeSide({});
    rfidSide();
  }

  const bool barcodeFitted = device.barcode.kind != DeviceKind::None;
  const bool rfidFitted = device.rfid.kind != DeviceKind::None;
  if (device.barcodePresent == 0 && device.rfidPresent == 0) {
    if (barcodeFitted && rfidFitted)
      resultCode = ChannelError::BothFailed;
    else if (barcodeFitted)
      resultCode = ChannelError::BarcodeFailed;
    else if (rfidFitted)
      resultCode = ChannelError::RfidFailed;
    device.barcode.kind = DeviceKind::None;
    device.rfid.kind = DeviceKind::None;
    return false;
  }
  if (device.barcodePresent == 0 && barcodeFitted) {
    resultCode = ChannelError::BarcodeFailed;
    device.barcode.kind = DeviceKind::None;
    return false;
  }
  if (device.rfidPresent == 1 || !rfidFitted) return true;
  resultCode = ChannelError::RfidFailed;
  device.rfid.kind = DeviceKind::None;
  return false;
}

bool openDevicesEx(ReaderDevice &device, SsiKnownValues &known, int barcodeRequest, int rfidRequest) {
  device.model = readModel();
  const bool barcodeWanted = !device.barcode.port.isOpen() && barcodeRequest != 0;
  const bool rfidWanted = !device.rfid.port.isOpen() && rfidRequest != 0;
  bool barcodeOpened = false, rfidOpened = false;
  bool barcodePortFailed = false, rfidPortFailed = false;
  const auto barcodeSide = [&](const std::function<void()> &portOpened) {
    if (barcodeWanted)
      barcodeOpened = openBarcode(device, known, Route::Request, barcodeRequest, barcodePortFailed, portOpened);
  };
  const auto rfidSide = [&] {
    if (rfidWanted) rfidOpened = openRfid(device, known, Route::Request, rfidRequest, rfidPortFailed);
  };
  if (barcodeWanted && rfidWanted) {
    openBoth(barcodeSide, rfidSide);
  } else {
    barcodeSide({});
    rfidSide();
  }
  // The texts in the order of the devices, whichever finished first.
  if (barcodeWanted) {
    if (!barcodeOpened) {
      const std::uint32_t error = device.barcode.lastError;
      if (error != 0)
        device.initMessage.format("The barcode scanner fails, error code = %d\r\n", static_cast<int>(error));
      else
        device.initMessage.assign("No barcode scanner is installed.\r\n");
      appendOpenFailure(device.initMessage, 1, barcodePortFailed, false);
    }
    device.barcodePresent = barcodeOpened ? 1 : 0;
  }
  if (rfidWanted) {
    if (!rfidOpened) {
      const std::uint32_t error = device.rfid.lastError;
      ByteString text;
      if (error != 0)
        text.format("The RFID scanner fails, error code = %d", static_cast<int>(error));
      else
        text.assign("No RFID scanner is installed.\r\n");
      device.initMessage.append(text);
      appendOpenFailure(device.initMessage, 2, rfidPortFailed, error != 0);
    }
    device.rfidPresent = rfidOpened ? 1 : 0;
  }
  return barcodeOpened || rfidOpened;
}

}  // namespace reader
