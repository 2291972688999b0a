// Stores a result in a channel as an accepted decode would, so that the
// queries and records can be tested without scan cycles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/library.h"

namespace testing_support {

inline void storeBarcodeResult(int code, const std::string &data) {
  reader::ScanResult result;
  result.code = code;
  result.data = reader::ByteString::fromText(data);
  reader::library().device.barcode.result.set(result);
}

inline void storeRfidResult(int tagType, const std::string &uid, const std::vector<std::uint8_t> &tagData) {
  reader::ScanResult result;
  result.code = tagType;
  result.data = reader::ByteString::fromText(uid);
  result.tagData = reader::ByteString::fromBytes(tagData);
  reader::library().device.rfid.result.set(result);
}

}  // namespace testing_support
