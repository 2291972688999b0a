// The terminal's identity from the environment.
#include "platform/terminal_identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform_test_support.h"

namespace {

using platform_test::ScopedEnv;
using reader::platform::kInfoFittedHardware;
using reader::platform::kInfoSerialNumber;
using reader::platform::queryDeviceInformation;
using reader::platform::readModelDescription;

TEST(TerminalIdentity, SerialNumberAndFittedHardwareComeFromTheEnvironment) {
  ScopedEnv serial("READER_SERIAL_NUMBER", "SN-0042-XYZ");
  ScopedEnv hardware("READER_HW_INFO", "3 1");
  char out[100] = {};
  ASSERT_TRUE(queryDeviceInformation(kInfoSerialNumber, out, sizeof out));
  EXPECT_STREQ(out, "SN-0042-XYZ");
  char hw[20] = {};
  ASSERT_TRUE(queryDeviceInformation(kInfoFittedHardware, hw, sizeof hw));
  EXPECT_STREQ(hw, "3 1");
}

TEST(TerminalIdentity, NeverWritesMoreThanSizeMinusOneCharacters) {
  ScopedEnv serial("READER_SERIAL_NUMBER", "0123456789");
  char out[8];
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(queryDeviceInformation(kInfoSerialNumber, out, 5));
  EXPECT_STREQ(out, "0123");
  EXPECT_EQ(out[5], '#');  // nothing past `size`
  char one[2] = {'#', '#'};
  ASSERT_TRUE(queryDeviceInformation(kInfoSerialNumber, one, 1));
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(one[1], '#');
}

TEST(TerminalIdentity, UnknownSelectorOrUnsetVariableLeavesTheBufferAlone) {
  ScopedEnv serial("READER_SERIAL_NUMBER", nullptr);
  ScopedEnv hardware("READER_HW_INFO", "2 1");
  char out[20];
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(queryDeviceInformation(kInfoSerialNumber, out, sizeof out));
  EXPECT_FALSE(queryDeviceInformation(227, out, sizeof out));
  EXPECT_FALSE(queryDeviceInformation(0, out, sizeof out));
  EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '#'));
  EXPECT_FALSE(queryDeviceInformation(kInfoFittedHardware, out, 0));
}

TEST(TerminalIdentity, ModelDescription) {
  {
    ScopedEnv model("READER_MODEL", "HLM3100XE");
    char out[100] = {};
    ASSERT_TRUE(readModelDescription(out, sizeof out));
    EXPECT_STREQ(out, "HLM3100XE");
    char small[4] = {};
    ASSERT_TRUE(readModelDescription(small, sizeof small));
    EXPECT_STREQ(small, "HLM");
  }
  ScopedEnv model("READER_MODEL", nullptr);
  char out[8] = {'#'};
  EXPECT_FALSE(readModelDescription(out, sizeof out));
  EXPECT_EQ(out[0], '#');
}

}  // namespace
