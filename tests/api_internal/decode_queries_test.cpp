// GetDecodeData and GetDecodeType on a stored barcode result.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/device_kind.h"
#include "stored_results.h"

using testing_support::storeBarcodeResult;

namespace {

// Calls GetDecodeData on a '#'-filled 8-byte buffer of which `size` is
// offered; gives the result and the whole buffer.
std::pair<int, std::string> decodeData(int size, bool nullBuffer = false) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  const int n = GetDecodeData(nullBuffer ? nullptr : buffer, size);
  return {n, std::string(buffer, sizeof buffer)};
}

TEST(DecodeQueries, GetDecodeDataCopiesByTheBufferRule) {
  EXPECT_EQ(decodeData(8), (std::pair<int, std::string>{0, std::string("\0#######", 8)}));  // nothing yet
  storeBarcodeResult('I', "ABCD");
  EXPECT_EQ(decodeData(8), (std::pair<int, std::string>{4, std::string("ABCD\0###", 8)}));
  EXPECT_EQ(decodeData(5), (std::pair<int, std::string>{4, std::string("ABCD\0###", 8)}));
  EXPECT_EQ(decodeData(4), (std::pair<int, std::string>{4, std::string("ABC\0####", 8)}));  // cut
  EXPECT_EQ(decodeData(1), (std::pair<int, std::string>{1, std::string("\0#######", 8)}));
  EXPECT_EQ(decodeData(0), (std::pair<int, std::string>{READER_ERR_BAD_BUFFER, "########"}));
  EXPECT_EQ(decodeData(-5), (std::pair<int, std::string>{READER_ERR_BAD_BUFFER, "########"}));
  EXPECT_EQ(decodeData(8, true).first, READER_ERR_BAD_BUFFER);
}

TEST(DecodeQueries, GetDecodeTypeTranslatesSsiNumbersOnly) {
  reader::DeviceChannel &barcode = reader::library().device.barcode;
  const std::pair<int, int> ssi[] = {
      {11, 'P'}, {13, 0},    {8, '^'}, {49, '\\'}, {81, 'v'}, {89, 'v'},  {90, 'd'}, {96, 0},
      {97, 'v'}, {104, 'v'}, {105, 0}, {25, 0},    {56, 0},   {144, 'c'}, {145, 0},  {0, 0},
  };
  for (int kind : {reader::DeviceKind::SsiEngine3, reader::DeviceKind::SsiEngine4}) {
    barcode.kind = kind;
    for (auto [number, code] : ssi) {
      storeBarcodeResult(number, "1");
      EXPECT_EQ(GetDecodeType(), code) << "kind " << kind << ", SSI type " << number;
    }
  }
  // The text engine's letters, and whatever is stored with no engine open,
  // come back as they are.
  for (int kind : {reader::DeviceKind::TextEngine, reader::DeviceKind::None}) {
    barcode.kind = kind;
    storeBarcodeResult(11, "1");
    EXPECT_EQ(GetDecodeType(), 11);
  }
}

}  // namespace
