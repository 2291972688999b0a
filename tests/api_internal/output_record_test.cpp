// GetOutputRecord: the barcode and RFID record layouts under the output
// options, and the buffer copy rule on records.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/device_kind.h"
#include "stored_results.h"

using testing_support::storeBarcodeResult;
using testing_support::storeRfidResult;

namespace {

reader::LibraryOptions &options() { return reader::library().options; }

// The record in a large buffer; its NUL must follow at the length returned.
std::string record(int mask) {
  std::vector<char> buffer(20000, '#');
  const int n = GetOutputRecord(mask, buffer.data(), static_cast<int>(buffer.size()));
  if (n < 0 || buffer[static_cast<std::size_t>(n)] != '\0') return "(bad copy)";
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

TEST(OutputRecord, BarcodeTypeLengthPrefixDataSuffix) {
  storeBarcodeResult('I', "12345678");
  options().outputPrefix.set("AB");
  options().outputSuffix.set("Z");
  options().outputLength = 1;
  EXPECT_EQ(record(READER_DEVICE_BARCODE), "0011AB12345678Z");
  options().outputPrefix.set("");
  options().outputSuffix.set("");
  EXPECT_EQ(record(READER_DEVICE_BARCODE), "000812345678");

  storeBarcodeResult('I', std::string(12345, 'x'));  // five digits in full
  EXPECT_EQ(record(READER_DEVICE_BARCODE), "12345" + std::string(12345, 'x'));

  options().outputTypeCode = 1;  // the decode type of the engine
  reader::library().device.barcode.kind = reader::DeviceKind::SsiEngine4;
  storeBarcodeResult(11, "4006381333931");
  EXPECT_EQ(record(READER_DEVICE_BARCODE), "P00134006381333931");
}

TEST(OutputRecord, RfidUidSeparatorAndTagData) {
  storeRfidResult(8, "E0", {'A', 'B'});
  options().rfidOutputUid = 1;
  options().rfidOutputData = 1;
  options().rfidDataSeparator = ',';
  EXPECT_EQ(record(READER_DEVICE_RFID), "E0,AB");
  options().rfidDataSeparator = 0;
  EXPECT_EQ(record(READER_DEVICE_RFID), "E0AB");

  // Without the UID neither prefix, suffix nor separator; the length still
  // counts prefix, UID and suffix.
  options().rfidDataSeparator = ',';
  options().outputPrefix.set("[");
  options().outputSuffix.set("]");
  options().outputLength = 1;
  EXPECT_EQ(record(READER_DEVICE_RFID), "0004[E0],AB");
  options().rfidOutputUid = 0;
  EXPECT_EQ(record(READER_DEVICE_RFID), "0004AB");

  options().outputLength = 0;
  options().outputTypeCode = 1;                   // the family letter
  storeRfidResult(12, "E0", {0x01, 0x00, 0xFF});  // zero bytes are data too
  EXPECT_EQ(record(READER_DEVICE_RFID), std::string("V\x01\x00\xFF", 4));
  storeRfidResult(7, "E0", {});
  EXPECT_EQ(record(READER_DEVICE_RFID), "Z");
}

TEST(OutputRecord, OtherMasksGiveEmptyRecordsAndCopiesFollowTheBufferRule) {
  storeBarcodeResult('A', "DATA");
  options().outputPrefix.set("P");
  for (int mask : {255, 1, 39, 0}) EXPECT_EQ(record(mask), "") << mask;

  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetOutputRecord(READER_DEVICE_BARCODE, buffer, 5), 5);  // "PDATA" cut
  EXPECT_EQ(std::string(buffer, 6), std::string("PDAT\0#", 6));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetOutputRecord(READER_DEVICE_BARCODE, nullptr, 8), READER_ERR_BAD_BUFFER);
  EXPECT_EQ(GetOutputRecord(READER_DEVICE_RFID, buffer, 0), READER_ERR_BAD_BUFFER);
  EXPECT_EQ(std::string(buffer, 8), std::string(8, '#'));
}

}  // namespace
