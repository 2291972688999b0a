#include "info_command.h"

#include <3100XE_DLL.h>

#include <string>

#include "quoted_text.h"
#include "result_text.h"

namespace readerctl {

namespace {

struct DeviceFound {
  int kind = 0;  // 0: none found
  const char *name = nullptr;
};

DeviceFound engineFound(int typeMask) {
  if (typeMask & READER_TYPE_TEXT_ENGINE) return {2, "text-command engine with a configuration block"};
  if (typeMask & READER_TYPE_SSI_ENGINE_3) return {3, "SSI engine"};
  if (typeMask & READER_TYPE_SSI_ENGINE_4) return {4, "SSI engine"};
  return {};
}

DeviceFound moduleFound(int typeMask) {
  if (typeMask & READER_TYPE_ASCII_MODULE) return {5, "ASCII-command RFID module"};
  if (typeMask & READER_TYPE_HEX_MODULE) return {6, "hexadecimal-frame RFID module"};
  return {};
}

std::string activeText(int mask) {
  switch (mask) {
    case 0: return "none";
    case READER_DEVICE_BARCODE: return "barcode engine";
    case READER_DEVICE_RFID: return "RFID module";
    case READER_DEVICE_ALL: return "barcode engine and RFID module";
    default: return "?";
  }
}

void printDevice(std::ostream &out, const char *label, DeviceFound device, int speed, bool speedsKnown) {
  out << label;
  if (device.kind == 0) {
    out << "not found\n";
    return;
  }
  out << "kind " << device.kind << ", " << device.name;
  if (speed > 0) {
    out << ", link " << speed << " bit/s";
  } else if (!speedsKnown) {
    out << ", link speed unknown";
  }
  out << "\n";
}

// {"kind": 2, "name": "...", "link_speed": 38400}; null when not found. The
// link speed is null when unknown.
std::string deviceJson(DeviceFound device, int speed) {
  if (device.kind == 0) return "null";
  return "{\"kind\": " + std::to_string(device.kind) + ", \"name\": " + jsonQuoted(device.name) +
         ", \"link_speed\": " + (speed > 0 ? std::to_string(speed) : "null") + "}";
}

}  // namespace

int runInfoCommand(ReaderSession &session, bool json, std::ostream &out, std::ostream &err) {
  char version[32] = {};
  GetDllVer(version, sizeof version);
  char serial[128] = {};
  GetSerialNumber(serial, sizeof serial);
  const int result = session.startResult();
  const char *startFunction = session.usedInitReaderEx() ? "InitReaderEx" : "InitReader";
  const int type = GetReaderType();
  const bool known = session.linkSpeedsKnown();
  const int active = GetActiveDevice();
  const bool triggerKeys = GetTriggerKeyStatus() != 0;
  if (json) {
    out << "{\"library_version\": " << jsonQuoted(version)
        << ", \"serial_number\": " << (serial[0] ? jsonQuoted(serial) : "null") << ", \"start\": {\"function\": \""
        << startFunction << "\", \"result\": " << result << ", \"text\": " << jsonQuoted(describeResult(result))
        << "}, \"engine\": " << deviceJson(engineFound(type), session.linkSpeed(1))
        << ", \"module\": " << deviceJson(moduleFound(type), session.linkSpeed(2)) << ", \"reader_type\": " << type
        << ", \"active_devices\": " << active << ", \"trigger_keys\": " << (triggerKeys ? "true" : "false") << "}\n";
  } else {
    out << "Library version: " << version << "\n";
    out << "Serial number:   " << (serial[0] ? serial : "(unknown)") << "\n";
    out << "Start:           " << startFunction << " returned " << result << " (" << describeResult(result) << ")\n";
    printDevice(out, "Barcode engine:  ", engineFound(type), session.linkSpeed(1), known);
    printDevice(out, "RFID module:     ", moduleFound(type), session.linkSpeed(2), known);
    out << "Reader type:     " << type << "\n";
    out << "Active devices:  " << active << " (" << activeText(active) << ")\n";
    out << "Trigger keys:    " << (triggerKeys ? "enabled" : "disabled") << "\n";
  }
  if (result != READER_OK) {
    err << "readerctl: start failed: " << describeResult(result) << "\n";
    session.printOpenFailures(result, err);
    return 1;
  }
  return 0;
}

}  // namespace readerctl
