#include "core/reader_device.h"

#include "core/port_lock_guard.h"
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
      PortLockGuard lock(channel);
      if (lock.held()) closePort(channel);
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

namespace {

// Under portLock: an exchange under way ends before the port goes.
void closeChannel(DeviceChannel &channel, std::atomic<int> &present) {
  // A scan cycle that holds the port ends its wait instead of running out.
  channel.closing = 1;
  channel.aimCancel.release();
  PortLockGuard lock(channel);
  releaseChannel(channel);
  resetChannel(channel);
  present = 0;
}

}  // namespace

void closeDevice(ReaderDevice &device, int which) {
  if (which == 1) {
    closeChannel(device.barcode, device.barcodePresent);
  } else if (which == 2) {
    // Outside portLock: the idle-close thread may be waiting for it.
    stopIdleCloseThread(device);
    closeChannel(device.rfid, device.rfidPresent);
  }
}

bool shutdownDevices(ReaderDevice &device) {
  closeDevice(device, 1);
  closeDevice(device, 2);
  return platform::switchVibrator(false);
}

void abortDeviceUse(ReaderDevice &device) {
  device.unloading = 1;
  for (DeviceChannel *channel : {&device.barcode, &device.rfid}) {
    channel->closing = 1;
    if (auto port = channel->port.get()) port->close();
    channel->aimCancel.release();
  }
}

}  // namespace reader
