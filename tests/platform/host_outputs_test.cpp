// What the terminal's drivers hand to the host (the output listener), and
// the terminal's identity from the environment.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/device_outputs.h"
#include "platform/platform_test_support.h"
#include "platform/terminal_identity.h"
#include "platform/trace.h"

namespace {

using namespace reader::platform;
using platform_test::ScopedEnv;

// One ReaderOutput as text, in hex: kind value value2 text|(null) data...
void record(const ReaderOutput *output, void *context) {
  std::ostringstream line;
  line << std::hex << output->kind << ' ' << output->value << ' ' << output->value2 << ' '
       << (output->text != nullptr ? output->text : "(null)");
  for (int i = 0; output->data != nullptr && i < output->dataLength; ++i) {
    if (output->kind == READER_OUTPUT_KEY_CHARS) {
      line << ' ' << static_cast<const std::int32_t *>(output->data)[i];
    } else {
      line << ' ' << int{static_cast<const std::uint8_t *>(output->data)[i]};
    }
  }
  static_cast<std::vector<std::string> *>(context)->push_back(line.str());
}

TEST(HostOutputs, DriverOutputsReachTheOutputListener) {
  std::vector<std::string> seen;  // the outputs come on this thread
  ReaderHostSetOutputListener(record, &seen);
  EXPECT_TRUE(switchVibrator(true));
  EXPECT_TRUE(switchVibrator(false));
  std::uint8_t audio[20] = {0, 0, 0, 0, 0x22, 0x11};  // the command code, little-endian
  audio[19] = 0xEE;
  EXPECT_TRUE(sendAudioCommand(audio));
  playSound(u"\\Windows\\caf\u00e9 \U0001F600.wav", 0x20001);
  playSound(nullptr, 0);
  const std::int32_t characters[] = {'1', 0x20AC, '\r'};
  postKeyboardCharacters(characters, 3);
  sendKeyEvent(0x0D, true);
  traceLine("COM1 > 04 E4 04 00 FF 14");
  ReaderHostSetOutputListener(nullptr, nullptr);
  switchVibrator(true);  // no listener: dropped
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "1 1 0 (null)",
                      "1 0 0 (null)",
                      "2 1122 0 (null) 0 0 0 0 22 11 0 0 0 0 0 0 0 0 0 0 0 0 0 ee",
                      "3 20001 0 \\Windows\\caf\xC3\xA9 \xF0\x9F\x98\x80.wav",  // UTF-8
                      "3 0 0 (null)",                                           // stop the playing sound
                      "4 0 0 (null) 31 20ac d",
                      "5 d 1 (null)",
                      "6 0 0 COM1 > 04 E4 04 00 FF 14",
                  }));
}

TEST(TerminalIdentity, ComesFromTheEnvironmentAndFitsTheBuffer) {
  ScopedEnv serial("READER_SERIAL_NUMBER", "SN-0042");
  ScopedEnv hardware("READER_HW_INFO", "3 1");
  ScopedEnv model("READER_MODEL", "HLM3100XE");
  char out[8];
  ASSERT_TRUE(queryDeviceInformation(kInfoFittedHardware, out, sizeof out));
  EXPECT_STREQ(out, "3 1");
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(queryDeviceInformation(kInfoSerialNumber, out, 5));
  EXPECT_STREQ(out, "SN-0");
  EXPECT_EQ(out[5], '#');  // nothing written past the size
  ASSERT_TRUE(readModelDescription(out, sizeof out));
  EXPECT_STREQ(out, "HLM3100");

  ScopedEnv unset("READER_SERIAL_NUMBER", nullptr);
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(queryDeviceInformation(kInfoSerialNumber, out, sizeof out));
  EXPECT_FALSE(queryDeviceInformation(227, out, sizeof out));
  EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '#'));
}

// Which outputs reach the terminal's own drivers: those the host does not
// handle itself. The listener sees every output either way. A timed-output
// vibrator in a temporary directory stands for the driver.
TEST(HostOutputs, TheDriversTakeWhatTheHostDoesNotHandle) {
  char dir[] = "/tmp/reader-vibrator-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string enable = std::string(dir) + "/enable";
  auto driverSaw = [&] {
    std::ifstream in(enable);
    std::string text;
    std::getline(in, text);
    std::ofstream(enable, std::ios::trunc);  // empty again for the next look
    return text;
  };
  std::ofstream(enable).flush();
  const std::string setting = std::string("timed:") + dir;
  ScopedEnv vibrator("READER_VIBRATOR", setting.c_str());

  // No listener: the driver does it.
  EXPECT_TRUE(switchVibrator(true));
  EXPECT_EQ(driverSaw(), "60000");

  // A listener that has not said what it handles handles everything, as
  // before there were drivers.
  std::vector<std::string> seen;
  ReaderHostSetOutputListener(record, &seen);
  EXPECT_TRUE(switchVibrator(true));
  EXPECT_EQ(driverSaw(), "");

  // It handles the sound only: the vibrator goes to both.
  ReaderHostSetHandledOutputs(READER_OUTPUT_BIT(READER_OUTPUT_SOUND));
  EXPECT_TRUE(switchVibrator(false));
  EXPECT_EQ(driverSaw(), "0");
  // It handles the vibrator: the driver is left alone.
  ReaderHostSetHandledOutputs(READER_OUTPUT_BIT(READER_OUTPUT_VIBRATOR));
  EXPECT_TRUE(switchVibrator(true));
  EXPECT_EQ(driverSaw(), "");
  EXPECT_EQ(seen, (std::vector<std::string>{"1 1 0 (null)", "1 0 0 (null)", "1 1 0 (null)"}));

  ReaderHostSetOutputListener(nullptr, nullptr);
  ReaderHostSetHandledOutputs(0);
  std::remove(enable.c_str());
  rmdir(dir);
}

}  // namespace
