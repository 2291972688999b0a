#include "core/reader_device.h"

#include "core/port_lock.h"
#include "core/serial_channel.h"
#include "platform/device_outputs.h"
#include "platform/process.h"

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
      const auto lock = PortLock::take(channel);
      if (lock && device.stopIdleThread != 1) closePort(*lock);
    } else if (woke == platform::WaitResult::Failed) {
      break;  // the semaphore is unusable: never spin on it
    }
  }
  device.idleThreadDone.release();
}

}  // namespace

ReaderDevice::ReaderDevice() = default;

ReaderDevice::~ReaderDevice() { shutdownDevices(*this); }

bool startIdleCloseThread(ReaderDevice &device) {
  device.stopIdleThread = 0;
  device.idleThread = platform::Thread::start([&device] { idleCloseLoop(device); }, "reader-idle");
  return device.idleThread != nullptr;
}

void stopIdleCloseThread(ReaderDevice &device) {
  if (!device.idleThread) return;
  device.stopIdleThread = 1;
  device.rfid.idleWake.release();
  // The join is the wait for the thread's end: it knows when there is no
  // thread to wait for (the process is ending, or it is a forked child),
  // which a wait for the thread's last signal cannot know.
  device.idleThread->join();
  device.idleThread.reset();
  device.idleThreadDone.wait(0);  // the thread's last signal, when it gave it
}

namespace {

// Ends every use of the port at once, without waiting for portLock: from now
// on each exchange fails at once, and a read or write blocked on the port
// returns. So the holder of portLock lets it go within a byte's time.
void interruptChannel(DeviceChannel &channel) {
  channel.closing = 1;
  ++channel.closures;
  channel.aimCancel.release();
  interruptPort(channel);
}

// Under portLock: the exchange under way has ended before the channel is
// reset.
void closeChannel(DeviceChannel &channel, std::atomic<int> &present) {
  // A lock that cannot be had (its semaphore failed) leaves the port to the
  // interruption before this.
  if (const auto lock = PortLock::take(channel)) closePort(*lock);
  resetChannel(channel);
  present = 0;
}

// A forked child: the parent's ports are shared with it, its threads and its
// locks are not. The child's copies of the ports are closed without a word
// to the devices, and nothing is waited for.
void abandonChannel(DeviceChannel &channel, std::atomic<int> &present) {
  channel.closing = 1;
  if (auto port = channel.port.take()) port->close();
  channel.portLock.resetAfterFork(1);
  channel.idleWake.resetAfterFork(0);
  channel.aimCancel.resetAfterFork(0);
  resetChannel(channel);
  present = 0;
}

}  // namespace

bool inheritedFromAnotherProcess(const ReaderDevice &device) {
  const std::uint64_t owner = device.ownerProcess;
  return owner != 0 && owner != platform::currentProcessId();
}

void abandonInheritedDevices(ReaderDevice &device) {
  if (!inheritedFromAnotherProcess(device)) return;
  abandonChannel(device.barcode, device.barcodePresent);
  abandonChannel(device.rfid, device.rfidPresent);
  device.idleThread.reset();  // the parent's thread: nothing to join here
  device.idleThreadDone.resetAfterFork(0);
  device.stopIdleThread = 0;
  device.barcode.unloading = 0;
  device.rfid.unloading = 0;
  device.ownerProcess = 0;
  device.inheritedFromParent = 1;
}

void claimDevices(ReaderDevice &device) { device.ownerProcess = platform::currentProcessId(); }

void closeDevice(ReaderDevice &device, int which) {
  if (which == 1) {
    interruptChannel(device.barcode);
    closeChannel(device.barcode, device.barcodePresent);
  } else if (which == 2) {
    interruptChannel(device.rfid);
    // Outside portLock: the idle-close thread may be waiting for it.
    stopIdleCloseThread(device);
    closeChannel(device.rfid, device.rfidPresent);
  }
}

bool shutdownDevices(ReaderDevice &device) {
  // A forked child's devices are its parent's: only its copies go.
  abandonInheritedDevices(device);
  closeDevice(device, 1);
  closeDevice(device, 2);
  // The vibrator is the parent's as much as the ports are.
  if (device.inheritedFromParent != 0) return true;
  return platform::switchVibrator(false);
}

void abortDeviceUse(ReaderDevice &device) {
  device.barcode.unloading = 1;
  device.rfid.unloading = 1;
  interruptChannel(device.barcode);
  interruptChannel(device.rfid);
}

}  // namespace reader
