// The library options section of the settings record and the calls' own
// failures, with no device started.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "settings_terminal.h"

namespace settings_testing {
namespace {

std::string textAt(const Record &record, int offset) {
  return std::string(reinterpret_cast<const char *>(record.data() + offset));
}

// The text and its terminating 0.
void putText(Record &record, int offset, const std::string &text) {
  std::memcpy(record.data() + offset, text.data(), text.size());
  record[offset + text.size()] = 0;
}

TEST(SettingsOptions, OptionsRoundTripCodedAndCutToTheirFieldsAndWithoutAnEngineItsBytesAreIgnored) {
  Record r = getSettings();
  EXPECT_EQ(r[0], 32);
  EXPECT_EQ(r[318], 255);  // the tag family's default start, -1
  r.fill(0xEE);            // the texts without a terminating 0 too
  r[318] = 255;
  r[344] = 0;  // vibration off whatever its time says
  const int plain[] = {311, 312, 314, 319, 342, 343, 346, 347, 348, 371, 372, 373, 374, 375};
  for (int b : plain) r[b] = static_cast<unsigned char>(b - 300);
  setSettings(r);
  Record back = getSettings();
  EXPECT_EQ(back[318], 255);
  EXPECT_EQ(back[344], 0);
  EXPECT_EQ(back[345], 0);
  for (int b : plain) EXPECT_EQ(back[b], b - 300) << b;
  for (int b = 1; b <= 310; ++b) ASSERT_EQ(back[b], 0) << b;
  EXPECT_EQ(textAt(back, 321), std::string(14, '\xEE'));
  EXPECT_EQ(textAt(back, 349), std::string(10, '\xEE'));

  r[318] = 254;
  r[344] = 1;
  r[345] = 9;
  putText(r, 360, std::string("ab\0cd", 5));
  setSettings(r);
  back = getSettings();
  EXPECT_EQ(back[318], 254);
  EXPECT_EQ(back[344], 1);
  EXPECT_EQ(back[345], 9);
  EXPECT_EQ(textAt(back, 360), "ab");
  EXPECT_EQ(back[364], 0);
}

TEST(SettingsOptions, WithoutADeviceTheCallsRefuseAndAStartResetsOnlyTheOutputFormatAndTheVibration) {
  ::unsetenv("READER_COM1");
  ::unsetenv("READER_COM2");
  Record r = getSettings();
  const int kept[] = {318, 319, 342, 343, 346, 347, 348, 373, 374, 375};
  const int cleared[] = {311, 312, 314, 344, 345, 371, 372};
  for (int b : kept) r[b] = 7;
  for (int b : cleared) r[b] = 5;
  putText(r, 349, "pre");
  putText(r, 321, "KEY");
  setSettings(r);
  EXPECT_EQ(GetReaderSettings(nullptr), READER_ERR_SETTINGS);
  EXPECT_EQ(SetReaderSettings(nullptr), READER_ERR_SETTINGS);
  EXPECT_EQ(ResetReaderToDefault(READER_DEVICE_ALL), READER_ERR_NO_DEVICE);
  EXPECT_EQ(GetDllDefaultSettings(r.data()), READER_ERR_NO_DEVICE);
  EXPECT_EQ(getSettings()[342], 7);  // nothing was reset on the way

  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  const Record back = getSettings();
  for (int b : kept) EXPECT_EQ(back[b], 7) << b;
  for (int b : cleared) EXPECT_EQ(back[b], 0) << b;
  EXPECT_EQ(textAt(back, 349), "");
  EXPECT_EQ(textAt(back, 321), "KEY");
}

TEST(SettingsOptions, AReaderNeverSeesATextHalfReplaced) {
  const std::string prefixes[] = {std::string(10, 'A'), "b"};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    Record r = getSettings();
    for (int i = 0; i < 2000; ++i) {
      putText(r, 349, prefixes[i % 2]);
      SetReaderSettings(r.data());
    }
    done = true;
  });
  for (int reads = 0; !done || reads == 0; ++reads) {
    const std::string prefix = textAt(getSettings(), 349);
    if (!prefix.empty() && prefix != prefixes[0] && prefix != prefixes[1]) {
      ADD_FAILURE() << "prefix '" << prefix << "'";
      break;
    }
  }
  writer.join();
}

}  // namespace
}  // namespace settings_testing
