#include "core/reader_device.h"

#include "core/serial_channel.h"
#include "platform/device_outputs.h"

namespace reader {

namespace {

// Closes the hex-frame module's port after idleCloseSeconds without a
// successful read; a read cycle reopens it on demand.
void idleCloseLoop(ReaderDevice &device) {
  DeviceChannel &channel = device.rfid;
  while (device.stopIdleThread != 1) {
    const auto seconds = static_cast<std::uint32_t>(device.idleCloseSeconds.load());
    const platform::WaitResult woke = channel.idleWake.wait(seconds * 1000u);
    if (woke == platform::WaitResult::TimedOut) {
      channel.portLock.wait(platform::kWaitForever);
      closePort(channel);
      channel.portLock.release();
    } else if (woke == platform::WaitResult::Failed) {
      break;  // the semaphore is unusable: never spin on it
    }
  }
  device.idleThreadDone.release();
}

}  // namespace

ReaderDevice::ReaderDevice() = default;

ReaderDevice::~ReaderDevice() { shutdownDevices(*this); }

void startIdleCloseThread(ReaderDevice &device) {
  device.stopIdleThread = 0;
  device.idleThread = platform::Thread::start([&device] { idleCloseLoop(device); });
}

void stopIdleCloseThread(ReaderDevice &device) {
  if (!device.idleThread) return;
  device.stopIdleThread = 1;
  device.rfid.idleWake.release();
  device.idleThreadDone.wait(platform::kWaitForever);
  device.idleThread->join();
  device.idleThread.reset();
}

void closeDevice(ReaderDevice &device, int which) {
  if (which == 1) {
    releaseChannel(device.barcode);
    resetChannel(device.barcode);
    device.barcodePresent = 0;
  } else if (which == 2) {
    stopIdleCloseThread(device);
    releaseChannel(device.rfid);
    resetChannel(device.rfid);
    device.rfidPresent = 0;
  }
}

bool shutdownDevices(ReaderDevice &device) {
  releaseChannel(device.barcode);
  resetChannel(device.barcode);
  device.barcodePresent = 0;
  closeDevice(device, 2);
  return platform::switchVibrator(false);
}

}  // namespace reader
