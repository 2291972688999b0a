// The small queries: reader type, active devices, trigger keys, version and
// serial number, including their buffer rules and bad arguments.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include "support/test_terminal.h"

using namespace testing_support;

namespace {

class DeviceQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(DeviceQueriesTest, ReaderTypeCombinesEngineAndModuleBits) {
  EXPECT_EQ(GetReaderType(), 0);
  EXPECT_EQ(GetActiveDevice(), 0);
  terminal_ = startTerminal(quickConfig(3, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), 20);
}

TEST_F(DeviceQueriesTest, ActiveDevicesFollowSetActiveDevice) {
  terminal_ = startTerminal(quickConfig(2, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetActiveDevice(), 255);
  EXPECT_EQ(SetActiveDevice(32), READER_OK);
  EXPECT_EQ(GetActiveDevice(), 32);
  EXPECT_EQ(SetActiveDevice(0), READER_OK);
  EXPECT_EQ(GetActiveDevice(), 0);
  EXPECT_EQ(SetActiveDevice(39), READER_OK);
  EXPECT_EQ(GetActiveDevice(), 255);
  EXPECT_EQ(SetActiveDevice(1), READER_OK);  // any of bits 0 to 2 is the engine
  EXPECT_EQ(GetActiveDevice(), 7);
}

TEST_F(DeviceQueriesTest, SelectingAMissingDeviceIsRefused) {
  terminal_ = startTerminal(quickConfig(2, 0));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(SetActiveDevice(39), READER_ERR_NO_RFID);
  EXPECT_EQ(GetActiveDevice(), 7);  // the engine flag keeps the value just set
  EXPECT_EQ(SetActiveDevice(0), READER_OK);
  EXPECT_EQ(SetActiveDevice(32), READER_ERR_NO_RFID);
  EXPECT_EQ(GetActiveDevice(), 0);

  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  EXPECT_EQ(SetActiveDevice(7), READER_ERR_NO_BARCODE);
}

TEST_F(DeviceQueriesTest, TriggerKeyFlagIsStoredAsGiven) {
  EXPECT_EQ(GetTriggerKeyStatus(), 0);
  EXPECT_EQ(SetTriggerKey(5), READER_OK);
  EXPECT_EQ(GetTriggerKeyStatus(), 5);
  EXPECT_EQ(SetTriggerKey(0), READER_OK);
  EXPECT_EQ(GetTriggerKeyStatus(), 0);
}

TEST(DllVersion, CopiesTheVersionCutToTheBuffer) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetDllVer(buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "2.00.0027");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetDllVer(buffer, 5), 1);
  EXPECT_STREQ(buffer, "2.00");
  EXPECT_EQ(buffer[5], 'x');  // nothing past the size
  EXPECT_EQ(GetDllVer(buffer, 1), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(GetDllVer(nullptr, 10), 0);
  EXPECT_EQ(GetDllVer(buffer, 0), 0);
  EXPECT_EQ(GetDllVer(buffer, -3), 0);
}

TEST(SerialNumber, FillsTheBufferByItsOwnRule) {
  setenv("READER_SERIAL_NUMBER", "SN12345", 1);  // 7 characters
  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetSerialNumber(buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "SN12345");
  EXPECT_EQ(GetSerialNumber(buffer, 9), 7);  // two bytes longer: the length
  EXPECT_STREQ(buffer, "SN12345");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetSerialNumber(buffer, 8), 8);  // one byte longer: whole text, the size
  EXPECT_STREQ(buffer, "SN12345");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetSerialNumber(buffer, 3), 3);
  EXPECT_STREQ(buffer, "SN");
  EXPECT_EQ(buffer[3], 'x');
  EXPECT_EQ(GetSerialNumber(nullptr, 8), READER_ERR_BAD_BUFFER);
  EXPECT_EQ(GetSerialNumber(buffer, 0), READER_ERR_BAD_BUFFER);

  // A serial number longer than the query's 99 characters is cut there.
  setenv("READER_SERIAL_NUMBER", std::string(150, '7').c_str(), 1);
  char large[200];
  EXPECT_EQ(GetSerialNumber(large, sizeof large), 99);

  unsetenv("READER_SERIAL_NUMBER");  // the query fails: an empty text
  EXPECT_EQ(GetSerialNumber(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}
