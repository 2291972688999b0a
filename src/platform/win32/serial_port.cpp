// Serial ports on Windows: "\\.\COM<n>", opened for overlapped I/O so that
// every wait can also watch for close().
//
// readByte serves single bytes from a small buffer. When bytes have arrived
// (ClearCommError's input count), one ReadFile takes them all; otherwise a
// ReadFile of one byte waits for it under the read time-out (a total
// time-out only: the "return at once" and "first byte" interval forms are
// not honoured on overlapped reads everywhere, Wine among them). Writes are
// timed here, not by the driver: a write still pending at its time-out is
// cancelled, and what the port took counts.
//
// Closing while other threads are inside a call (the call gate): close()
// marks the port closing (new calls fail at once), signals an event every
// wait watches and cancels the pending I/O, waits until no call is inside the
// handle, and only then closes it.
#include "platform/serial_port.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/common/open_failure_record.h"
#include "platform/common/port_call_gate.h"
#include "platform/win32/this_module.h"

namespace reader::platform {
namespace {

constexpr DWORD kDrainMarginMs = 20;

ErrorCode lastError() { return static_cast<ErrorCode>(GetLastError()); }

// EscapeCommFunction on a port without modem lines (a Wine port on a
// pseudo-terminal).
bool noModemLines(DWORD error) { return error == ERROR_NOT_SUPPORTED; }

bool supportedSpeed(int bitsPerSecond) {
  switch (bitsPerSecond) {
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200: return true;
    default: return false;
  }
}

void set8N1(DCB &dcb) {
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
}

// A manual-reset event for one overlapped call.
class Overlapped {
 public:
  Overlapped() { overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() {
    if (overlapped_.hEvent != nullptr) CloseHandle(overlapped_.hEvent);
  }
  Overlapped(const Overlapped &) = delete;
  Overlapped &operator=(const Overlapped &) = delete;
  bool valid() const { return overlapped_.hEvent != nullptr; }
  OVERLAPPED *get() { return &overlapped_; }
  HANDLE event() const { return overlapped_.hEvent; }

 private:
  OVERLAPPED overlapped_{};
};

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE handle, HANDLE closing) : handle_(handle), closing_(closing) {}
  ~Win32SerialPort() override { close(); }

  ErrorCode setSpeed(int bitsPerSecond) override;
  ErrorCode getTimeouts(SerialTimeouts &out) override;
  ErrorCode setTimeouts(const SerialTimeouts &timeouts) override;
  ErrorCode purge(PurgeScope scope) override;
  ErrorCode drain() override;
  ReadStatus readByte(std::uint8_t &out, std::uint32_t timeoutMs, ErrorCode &error) override;
  ErrorCode write(const std::uint8_t *data, std::size_t size, std::size_t &written) override;
  ErrorCode setRts(bool on) override { return escape(on ? SETRTS : CLRRTS); }
  ErrorCode setDtr(bool on) override { return escape(on ? SETDTR : CLRDTR); }
  void close() override;
  bool isOpen() const override { return gate_.isOpen(); }

 private:
  // A call inside the handle; refused unless open.
  using Use = common::PortCallGate::Call;

  // Waits for an overlapped call until it completes, `timeoutMs` passes
  // (then it is cancelled) or the port closes (cancelled too). Returns the
  // call's error (ERROR_OPERATION_ABORTED for a cancelled one) and its
  // transferred count.
  DWORD finish(Overlapped &call, DWORD timeoutMs, DWORD &transferred, bool &closed);
  ErrorCode escape(DWORD function);
  bool applyReadTimeout(std::uint32_t timeoutMs);
  bool drainQueuedOutput();

  const HANDLE handle_;
  const HANDLE closing_;  // manual-reset: set once by close()
  common::PortCallGate gate_;

  std::mutex timeoutsMutex_;  // timeouts_
  SerialTimeouts timeouts_;

  std::mutex writeMutex_;  // one write() at a time: writes never interleave

  std::mutex inputMutex_;  // the input buffer, every ReadFile, the applied read time-out
  std::uint8_t input_[256];
  std::size_t inputPos_ = 0;
  std::size_t inputEnd_ = 0;
  std::uint32_t appliedReadTimeout_ = 1;  // as configurePort sets it
};

DWORD Win32SerialPort::finish(Overlapped &call, DWORD timeoutMs, DWORD &transferred, bool &closed) {
  closed = false;
  const HANDLE either[2] = {call.event(), closing_};
  const DWORD woken = WaitForMultipleObjects(2, either, FALSE, timeoutMs);
  if (woken != WAIT_OBJECT_0) {
    closed = woken == WAIT_OBJECT_0 + 1;
    CancelIoEx(handle_, call.get());
  }
  transferred = 0;
  if (GetOverlappedResult(handle_, call.get(), &transferred, TRUE)) return 0;
  const DWORD error = GetLastError();
  // The driver's own time-out ended the call: Windows reports success with
  // the shorter count, Wine ERROR_TIMEOUT. Either is a time-out, not a fault.
  return error == ERROR_TIMEOUT ? 0 : error;
}

bool Win32SerialPort::applyReadTimeout(std::uint32_t timeoutMs) {
  if (appliedReadTimeout_ == timeoutMs) return true;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadTotalTimeoutConstant = std::clamp<DWORD>(timeoutMs, 1, MAXDWORD - 1);
  if (!SetCommTimeouts(handle_, &timeouts)) return false;
  appliedReadTimeout_ = timeoutMs;
  return true;
}

ErrorCode Win32SerialPort::setSpeed(int bitsPerSecond) {
  if (!supportedSpeed(bitsPerSecond)) return ERROR_INVALID_PARAMETER;
  Use use(gate_);
  if (!use.admitted()) return ERROR_INVALID_HANDLE;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) return lastError();
  dcb.BaudRate = static_cast<DWORD>(bitsPerSecond);
  set8N1(dcb);
  if (!SetCommState(handle_, &dcb)) return lastError();
  DCB applied{};
  applied.DCBlength = sizeof applied;
  if (!GetCommState(handle_, &applied)) return lastError();
  if (applied.BaudRate != static_cast<DWORD>(bitsPerSecond)) return ERROR_INVALID_PARAMETER;
  return 0;
}

ErrorCode Win32SerialPort::getTimeouts(SerialTimeouts &out) {
  if (!gate_.isOpen()) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(timeoutsMutex_);
  out = timeouts_;
  return 0;
}

ErrorCode Win32SerialPort::setTimeouts(const SerialTimeouts &timeouts) {
  if (!gate_.isOpen()) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(timeoutsMutex_);
  timeouts_ = timeouts;
  return 0;
}

ErrorCode Win32SerialPort::purge(PurgeScope scope) {
  Use use(gate_);
  if (!use.admitted()) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(inputMutex_);
  inputPos_ = inputEnd_ = 0;
  DWORD flags = PURGE_RXCLEAR;
  if (scope == PurgeScope::Everything) flags |= PURGE_TXCLEAR | PURGE_TXABORT;
  return PurgeComm(handle_, flags) ? 0 : lastError();
}

ErrorCode Win32SerialPort::drain() {
  Use use(gate_);
  if (!use.admitted()) return ERROR_INVALID_HANDLE;
  std::lock_guard writeLock(writeMutex_);
  return drainQueuedOutput() ? 0 : WAIT_TIMEOUT;
}

bool Win32SerialPort::drainQueuedOutput() {
  COMSTAT status{};
  DWORD errors = 0;
  if (!ClearCommError(handle_, &errors, &status) || status.cbOutQue == 0) return true;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  DWORD bitsPerSecond = 9600;  // the slowest the library uses: the longest bound
  if (GetCommState(handle_, &dcb) && dcb.BaudRate >= 9600) bitsPerSecond = dcb.BaudRate;
  // Ten bits a byte (8N1), and a margin for the driver's own latency.
  const ULONGLONG deadline = GetTickCount64() + 10000ull * status.cbOutQue / bitsPerSecond + kDrainMarginMs;
  while (status.cbOutQue > 0) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(1);
    if (!ClearCommError(handle_, &errors, &status)) break;
  }
  return true;
}

ReadStatus Win32SerialPort::readByte(std::uint8_t &out, std::uint32_t timeoutMs, ErrorCode &error) {
  error = 0;
  Use use(gate_);
  if (!use.admitted()) {
    error = ERROR_INVALID_HANDLE;
    return ReadStatus::Failed;
  }
  std::lock_guard lock(inputMutex_);
  if (inputPos_ == inputEnd_) {
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(handle_, &errors, &status)) {
      error = lastError();
      return ReadStatus::Failed;
    }
    const DWORD wanted = std::min<DWORD>(std::max<DWORD>(status.cbInQue, 1), sizeof input_);
    if (status.cbInQue == 0 && timeoutMs == 0) return ReadStatus::TimedOut;
    if (!applyReadTimeout(timeoutMs)) {
      error = lastError();
      return ReadStatus::Failed;
    }
    Overlapped call;
    if (!call.valid()) {
      error = lastError();
      return ReadStatus::Failed;
    }
    DWORD got = 0;
    if (!ReadFile(handle_, input_, wanted, nullptr, call.get()) && GetLastError() != ERROR_IO_PENDING) {
      error = lastError();
      return ReadStatus::Failed;
    }
    // The driver ends the read at its time-out; the wait here only guards
    // against a driver that does not.
    bool closed = false;
    const DWORD guardMs = timeoutMs > MAXDWORD - 1000 ? INFINITE : timeoutMs + 1000;
    const DWORD result = finish(call, guardMs, got, closed);
    if (closed) {
      error = ERROR_INVALID_HANDLE;
      return ReadStatus::Failed;
    }
    if (result != 0 && result != ERROR_OPERATION_ABORTED) {
      error = result;
      return ReadStatus::Failed;
    }
    inputPos_ = 0;
    inputEnd_ = got;
  }
  if (inputPos_ == inputEnd_) return ReadStatus::TimedOut;
  out = input_[inputPos_++];
  return ReadStatus::Byte;
}

ErrorCode Win32SerialPort::write(const std::uint8_t *data, std::size_t size, std::size_t &written) {
  written = 0;
  Use use(gate_);
  if (!use.admitted()) return ERROR_INVALID_HANDLE;
  std::lock_guard writeLock(writeMutex_);
  if (!gate_.isOpen()) return ERROR_INVALID_HANDLE;  // closed while this call queued
  std::uint32_t timeoutMs;
  {
    std::lock_guard lock(timeoutsMutex_);
    timeoutMs = timeouts_.writeTotalMs;
  }
  if (size == 0) return 0;
  Overlapped call;
  if (!call.valid()) return lastError();
  const DWORD length = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
  if (!WriteFile(handle_, data, length, nullptr, call.get()) && GetLastError() != ERROR_IO_PENDING) return lastError();
  DWORD put = 0;
  bool closed = false;
  const DWORD result = finish(call, timeoutMs, put, closed);
  written = put;
  if (closed) return ERROR_INVALID_HANDLE;
  if (result == ERROR_OPERATION_ABORTED) return 0;  // timed out: success with the shorter count
  return result;
}

ErrorCode Win32SerialPort::escape(DWORD function) {
  Use use(gate_);
  if (!use.admitted()) return ERROR_INVALID_HANDLE;
  if (!EscapeCommFunction(handle_, function)) {
    const DWORD error = GetLastError();
    if (!noModemLines(error)) return error;
  }
  return 0;
}

void Win32SerialPort::close() {
  gate_.close(
      [this] {
        SetEvent(closing_);
        CancelIoEx(handle_, nullptr);
        // When the process ends, the system has ended every other thread,
        // some perhaps inside a call here: none of them will come out.
        return win32::processEnding() ? common::CallsInside::Abandoned : common::CallsInside::WillLeave;
      },
      [this](common::CallsInside calls) {
        if (calls == common::CallsInside::WillLeave) {
          // A command written just before the close must reach the device
          // whole; output that did not leave within its byte time is
          // discarded.
          const bool drained = drainQueuedOutput();
          PurgeComm(handle_, drained ? PURGE_RXCLEAR : PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_TXABORT);
        }
        CloseHandle(handle_);
        CloseHandle(closing_);
      });
}

// "COM1: Access is denied. (error 5 ...)": the port's name and the
// system's own message for `error`.
std::string describeOpenFailure(int portNumber, ErrorCode error) {
  char message[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                                sizeof message, nullptr);
  while (length > 0 && (message[length - 1] == '\r' || message[length - 1] == '\n' || message[length - 1] == ' '))
    message[--length] = '\0';
  std::string text = "COM" + std::to_string(portNumber) + ": ";
  text += length > 0 ? message : "system error";
  text += " (error " + std::to_string(error);
  // Another program holding the port is refused the same way.
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
    text += "; another program may be using the port";
  return text + ")";
}

// Configures a freshly opened port; 0 or the failing call's error.
ErrorCode configurePort(HANDLE handle) {
  SetupComm(handle, 4096, 4096);  // advisory: a driver may keep its own sizes
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return lastError();
  dcb.BaudRate = 9600;
  set8N1(dcb);
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(handle, &dcb)) return lastError();
  COMMTIMEOUTS timeouts{};
  timeouts.ReadTotalTimeoutConstant = 1;
  if (!SetCommTimeouts(handle, &timeouts)) return lastError();
  if (!PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT)) return lastError();
  return 0;
}

// The port is exclusive by its share mode: nothing else opens it meanwhile,
// and nothing is left claimed after a failed open.
std::shared_ptr<SerialPort> openPort(int portNumber, ErrorCode &error) {
  wchar_t path[32];
  std::swprintf(path, sizeof path / sizeof path[0], L"\\\\.\\COM%d", portNumber);
  HANDLE handle =
      CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = lastError();
    return nullptr;
  }
  error = configurePort(handle);
  HANDLE closing = nullptr;
  if (error == 0) {
    closing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (closing == nullptr) error = lastError();
  }
  if (error == 0) {
    try {
      return std::make_shared<Win32SerialPort>(handle, closing);
    } catch (...) {  // std::bad_alloc
      error = ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  if (closing != nullptr) CloseHandle(closing);
  CloseHandle(handle);
  return nullptr;
}

}  // namespace

std::shared_ptr<SerialPort> SerialPort::open(int portNumber, ErrorCode &error) {
  error = 0;
  std::shared_ptr<SerialPort> port = openPort(portNumber, error);
  common::recordOpenFailure(portNumber, port ? std::string() : describeOpenFailure(portNumber, error));
  return port;
}

}  // namespace reader::platform
