// What `readerctl info` reports, as values: gathered from the library by
// readerctl itself or by readerd, or taken from readerd's reply, and printed
// the one way whichever it was.
#pragma once

#include <ostream>
#include <string>

namespace readerctl {

struct InfoFacts {
  std::string libraryVersion;  // GetDllVer
  std::string serialNumber;    // GetSerialNumber; empty when the terminal has none
  std::string startFunction = "InitReader";
  int startResult = 0;
  int readerType = 0;   // GetReaderType
  int engineSpeed = 0;  // COM port 1's link speed; 0 when unknown or absent
  int moduleSpeed = 0;  // COM port 2's
  bool speedsKnown = true;
  int activeDevices = 0;  // GetActiveDevice
  bool triggerKeys = false;
};

// The library's answers now, after a start by `startFunction` that returned
// `startResult`. Any thread.
InfoFacts gatherInfoFacts(const std::string &startFunction, int startResult);

// A device found, as info names it; kind 0 when none of its kind was found.
struct DeviceFound {
  int kind = 0;
  const char *name = nullptr;
};
DeviceFound engineFound(int readerType);
DeviceFound moduleFound(int readerType);

// The lines, or (`json`) the one JSON object.
void printInfoFacts(const InfoFacts &facts, bool json, std::ostream &out);

}  // namespace readerctl
