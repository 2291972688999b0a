// The RFID queries on a stored tag, and the tag memory calls' argument
// checks, which run no cycle.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "stored_results.h"

using testing_support::storeRfidResult;

namespace {

using Query = int (*)(char *, int);

// The result and an 8-byte '#'-filled buffer of which `size` is offered.
std::pair<int, std::string> query(Query call, int size, bool nullBuffer = false) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  const int n = call(nullBuffer ? nullptr : buffer, size);
  return {n, std::string(buffer, sizeof buffer)};
}

TEST(RfidQueries, DataAndUidAreCopiedByTheBufferRule) {
  EXPECT_EQ(query(GetDecodeRfidUID, 8), (std::pair<int, std::string>{0, std::string("\0#######", 8)}));
  storeRfidResult(10, "E004", {0x41, 0x00, 0x42, 0x00, 0x43, 0x44});
  // Zero bytes in the tag data are data: the result gives the length.
  EXPECT_EQ(query(GetDecodeRfidData, 8), (std::pair<int, std::string>{6, std::string("A\0B\0CD\0#", 8)}));
  EXPECT_EQ(query(GetDecodeRfidData, 4), (std::pair<int, std::string>{4, std::string("A\0B\0####", 8)}));
  EXPECT_EQ(query(GetDecodeRfidUID, 5), (std::pair<int, std::string>{4, std::string("E004\0###", 8)}));
  EXPECT_EQ(query(GetDecodeRfidUID, 4), (std::pair<int, std::string>{4, std::string("E00\0####", 8)}));
  for (Query call : {GetDecodeRfidData, GetDecodeRfidUID}) {
    EXPECT_EQ(query(call, 0), (std::pair<int, std::string>{READER_ERR_BAD_BUFFER, "########"}));
    EXPECT_EQ(query(call, 8, true).first, READER_ERR_BAD_BUFFER);
  }
}

TEST(RfidQueries, TagTypeIsTheFamilyLetter) {
  EXPECT_EQ(GetDecodeTagType(), 0);
  const std::pair<int, int> families[] = {{1, 'I'}, {2, 'M'}, {4, 'M'},  {5, 'Z'},  {7, 'Z'}, {6, 'S'},
                                          {8, 'T'}, {9, 'V'}, {12, 'V'}, {16, 'V'}, {17, 0},  {0, 0}};
  for (auto [tagType, letter] : families) {
    storeRfidResult(tagType, "01", {});
    EXPECT_EQ(GetDecodeTagType(), letter) << tagType;
  }
}

TEST(RfidMemoryCalls, BadArgumentsAndAbsentModuleFailWithoutTouchingTheBuffer) {
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, nullptr, 4, -1, 4, 0, nullptr), READER_ERR_RFID_READ);
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, 0, -1, 4, 0, nullptr), READER_ERR_RFID_READ);
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, 4, -1, 0, 0, nullptr), READER_ERR_RFID_READ);
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, 4, -1, 4, 0, "KEY"), READER_ERR_RFID_READ);
  EXPECT_EQ(std::string(buffer, 4), "####");

  const unsigned char data[] = {1, 2, 3};
  int written = -1;
  EXPECT_EQ(WriteRfidData(nullptr, 0, 3, &written, 0, 0, nullptr), READER_ERR_RFID_WRITE);
  EXPECT_EQ(WriteRfidData(data, 0, 0, &written, 0, 0, nullptr), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, -1);
  EXPECT_EQ(WriteRfidData(data, 0, 3, &written, 0, 0, nullptr), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(WriteRfidData(data, 0, 3, nullptr, 0, 0, nullptr), READER_ERR_RFID_WRITE);
}

}  // namespace
