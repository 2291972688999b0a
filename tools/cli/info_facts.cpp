#include "info_facts.h"

#include <3100XE_DLL.h>

#include <algorithm>

#include "host_adapter.h"
#include "quoted_text.h"
#include "result_text.h"

namespace readerctl {

namespace {

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

InfoFacts gatherInfoFacts(const std::string &startFunction, int startResult) {
  InfoFacts facts;
  char version[32] = {};
  GetDllVer(version, sizeof version);
  facts.libraryVersion = version;
  char serial[128] = {};
  GetSerialNumber(serial, sizeof serial);
  facts.serialNumber = serial;
  facts.startFunction = startFunction;
  facts.startResult = startResult;
  facts.readerType = GetReaderType();
  facts.speedsKnown = host::linkSpeed(1) >= 0;
  facts.engineSpeed = std::max(0, host::linkSpeed(1));
  facts.moduleSpeed = std::max(0, host::linkSpeed(2));
  facts.activeDevices = GetActiveDevice();
  facts.triggerKeys = GetTriggerKeyStatus() != 0;
  return facts;
}

void printInfoFacts(const InfoFacts &facts, bool json, std::ostream &out) {
  const std::string &serial = facts.serialNumber;
  const int result = facts.startResult;
  if (json) {
    out << "{\"library_version\": " << jsonQuoted(facts.libraryVersion)
        << ", \"serial_number\": " << (serial.empty() ? "null" : jsonQuoted(serial))
        << ", \"start\": {\"function\": " << jsonQuoted(facts.startFunction) << ", \"result\": " << result
        << ", \"text\": " << jsonQuoted(describeResult(result))
        << "}, \"engine\": " << deviceJson(engineFound(facts.readerType), facts.engineSpeed)
        << ", \"module\": " << deviceJson(moduleFound(facts.readerType), facts.moduleSpeed)
        << ", \"reader_type\": " << facts.readerType << ", \"active_devices\": " << facts.activeDevices
        << ", \"trigger_keys\": " << (facts.triggerKeys ? "true" : "false") << "}\n";
    return;
  }
  out << "Library version: " << facts.libraryVersion << "\n";
  out << "Serial number:   " << (serial.empty() ? "(unknown)" : serial) << "\n";
  out << "Start:           " << facts.startFunction << " returned " << result << " (" << describeResult(result)
      << ")\n";
  printDevice(out, "Barcode engine:  ", engineFound(facts.readerType), facts.engineSpeed, facts.speedsKnown);
  printDevice(out, "RFID module:     ", moduleFound(facts.readerType), facts.moduleSpeed, facts.speedsKnown);
  out << "Reader type:     " << facts.readerType << "\n";
  out << "Active devices:  " << facts.activeDevices << " (" << activeText(facts.activeDevices) << ")\n";
  out << "Trigger keys:    " << (facts.triggerKeys ? "enabled" : "disabled") << "\n";
}

}  // namespace readerctl
