#include "info_command.h"

#include <3100XE_DLL.h>

#include <string>

#include "result_text.h"

namespace readerctl {

namespace {

const char *engineName(int typeMask) {
  if (typeMask & READER_TYPE_TEXT_ENGINE) return "kind 2, text-command engine with a configuration block";
  if (typeMask & READER_TYPE_SSI_ENGINE_3) return "kind 3, SSI engine";
  if (typeMask & READER_TYPE_SSI_ENGINE_4) return "kind 4, SSI engine";
  return nullptr;
}

const char *moduleName(int typeMask) {
  if (typeMask & READER_TYPE_ASCII_MODULE) return "kind 5, ASCII-command RFID module";
  if (typeMask & READER_TYPE_HEX_MODULE) return "kind 6, hexadecimal-frame RFID module";
  return nullptr;
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

void printDevice(std::ostream &out, const char *label, const char *name, int speed, bool speedsKnown) {
  out << label;
  if (name == nullptr) {
    out << "not found\n";
    return;
  }
  out << name;
  if (speed > 0) {
    out << ", link " << speed << " bit/s";
  } else if (!speedsKnown) {
    out << ", link speed unknown";
  }
  out << "\n";
}

}  // namespace

int runInfoCommand(ReaderSession &session, std::ostream &out, std::ostream &err) {
  char version[32] = {};
  GetDllVer(version, sizeof version);
  char serial[128] = {};
  GetSerialNumber(serial, sizeof serial);
  out << "Library version: " << version << "\n";
  out << "Serial number:   " << (serial[0] ? serial : "(unknown)") << "\n";

  const int result = session.startResult();
  out << "Start:           " << (session.usedInitReaderEx() ? "InitReaderEx" : "InitReader")
      << " returned " << result << " (" << describeResult(result) << ")\n";
  const int type = GetReaderType();
  const bool known = session.linkSpeedsKnown();
  printDevice(out, "Barcode engine:  ", engineName(type), session.linkSpeed(1), known);
  printDevice(out, "RFID module:     ", moduleName(type), session.linkSpeed(2), known);
  out << "Reader type:     " << type << "\n";
  const int active = GetActiveDevice();
  out << "Active devices:  " << active << " (" << activeText(active) << ")\n";
  out << "Trigger keys:    " << (GetTriggerKeyStatus() ? "enabled" : "disabled") << "\n";
  if (result != READER_OK) {
    err << "readerctl: start failed: " << describeResult(result) << "\n";
    session.printOpenFailures(result, err);
    return 1;
  }
  return 0;
}

}  // namespace readerctl
