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

// The text and, when there is room before `end`, its terminating 0.
void putText(Record &record, int offset, const std::string &text, int end = READER_SETTINGS_RECORD_SIZE) {
  std::memcpy(record.data() + offset, text.data(), text.size());
  if (offset + static_cast<int>(text.size()) < end) record[offset + text.size()] = 0;
}

bool isUnused(int b) {
  return b == 77 || (b >= 83 && b <= 100) || (b >= 169 && b <= 190) || (b >= 291 && b <= 310) || b == 313 ||
         (b >= 315 && b <= 317) || b == 320 || (b >= 336 && b <= 341) || b >= 376;
}

TEST(SettingsOptions, AfterLoadTheRecordHoldsTheLoadValuesAndNothingElse) {
  const Record r = getSettings();
  EXPECT_EQ(r[0], 32);
  for (int b = 1; b <= 310; ++b) ASSERT_EQ(r[b], 0) << b;
  const std::pair<int, int> loadValues[] = {{311, 0}, {312, 0}, {314, 0}, {318, 255}, {319, 80}, {342, 1},
                                            {343, 2}, {344, 0}, {345, 0}, {346, 0},   {347, 0},  {348, 0},
                                            {371, 0}, {372, 0}, {373, 0}, {374, 0},   {375, 1}};
  for (const auto &[byte, value] : loadValues) EXPECT_EQ(r[byte], value) << byte;
  EXPECT_EQ(textAt(r, 321), "AA5BC8D61E3A97");
  EXPECT_EQ(textAt(r, 349), "");
  EXPECT_EQ(textAt(r, 360), "");
  for (int b = 0; b < READER_SETTINGS_RECORD_SIZE; ++b)
    if (isUnused(b) || (b >= 349 && b <= 370)) {
      ASSERT_EQ(r[b], 0) << b;
    }
}

TEST(SettingsOptions, CodedOptionsRoundTripAndUnusedBytesAreIgnored) {
  Record r{};
  for (int b = 0; b < READER_SETTINGS_RECORD_SIZE; ++b)
    if (isUnused(b) || b <= 290) r[b] = 0xEE;
  r[318] = 255;  // the tag family's default start
  r[319] = 200;
  r[344] = 0;    // vibration off whatever its length says
  r[345] = 9;
  const int plain[] = {311, 312, 314, 342, 343, 346, 347, 348, 371, 372, 373, 374, 375};
  for (int b : plain) r[b] = static_cast<unsigned char>(b - 300);
  setSettings(r);
  Record back = getSettings();
  EXPECT_EQ(back[318], 255);
  EXPECT_EQ(back[319], 200);
  EXPECT_EQ(back[344], 0);
  EXPECT_EQ(back[345], 0);
  for (int b : plain) EXPECT_EQ(back[b], b - 300) << b;
  for (int b = 1; b < READER_SETTINGS_RECORD_SIZE; ++b)
    if (isUnused(b) || b <= 290) {
      ASSERT_EQ(back[b], 0) << b;
    }

  r[318] = 254;
  r[344] = 1;
  setSettings(r);
  back = getSettings();
  EXPECT_EQ(back[318], 254);
  EXPECT_EQ(back[344], 1);
  EXPECT_EQ(back[345], 9);
}

TEST(SettingsOptions, TextsAreTakenUpToTheirZeroAndNeverBeyondTheirField) {
  Record r = getSettings();
  putText(r, 349, std::string(11, 'P'), 360);  // no terminator inside the field
  putText(r, 360, std::string("ab\0cd", 5));
  putText(r, 321, std::string(15, 'K'), 336);
  r[336] = 'x';  // right after the key field
  setSettings(r);
  const Record back = getSettings();
  EXPECT_EQ(textAt(back, 349), std::string(10, 'P'));
  EXPECT_EQ(back[359], 0);
  EXPECT_EQ(textAt(back, 360), "ab");
  EXPECT_EQ(back[363], 0);
  EXPECT_EQ(back[364], 0);
  EXPECT_EQ(textAt(back, 321), std::string(14, 'K'));
  EXPECT_EQ(back[335], 0);
}

TEST(SettingsOptions, NullRecordsAndMissingDevicesAreRefused) {
  Record before = getSettings();
  before[318] = 17;
  setSettings(before);
  EXPECT_EQ(GetReaderSettings(nullptr), READER_ERR_SETTINGS);
  EXPECT_EQ(SetReaderSettings(nullptr), READER_ERR_SETTINGS);
  EXPECT_EQ(ResetReaderToDefault(READER_DEVICE_ALL), READER_ERR_NO_DEVICE);
  EXPECT_EQ(GetDllDefaultSettings(nullptr), READER_ERR_NO_DEVICE);
  Record r{};
  EXPECT_EQ(GetDllDefaultSettings(r.data()), READER_ERR_NO_DEVICE);
  // Nothing was reset on the way.
  EXPECT_EQ(getSettings()[318], 17);
}

TEST(SettingsOptions, EveryStartResetsTheOutputFormatAndTheVibrationOnly) {
  ::unsetenv("READER_COM1");
  ::unsetenv("READER_COM2");
  Record r = getSettings();
  const int kept[] = {318, 319, 342, 343, 346, 347, 348, 373, 374, 375};
  const int cleared[] = {311, 312, 314, 344, 345, 371, 372};
  for (int b : kept) r[b] = 7;
  for (int b : cleared) r[b] = 5;
  putText(r, 349, "pre");
  putText(r, 360, "suf");
  putText(r, 321, "KEY");
  setSettings(r);
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);  // no device on this terminal
  const Record back = getSettings();
  for (int b : kept) EXPECT_EQ(back[b], 7) << b;
  for (int b : cleared) EXPECT_EQ(back[b], 0) << b;
  EXPECT_EQ(textAt(back, 349), "");
  EXPECT_EQ(textAt(back, 360), "");
  EXPECT_EQ(textAt(back, 321), "KEY");
}

TEST(SettingsOptions, AReaderNeverSeesATextHalfReplaced) {
  const std::string prefixes[] = {std::string(10, 'A'), "b"};
  const std::string suffixes[] = {"c", std::string(10, 'D')};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    Record r = getSettings();
    for (int i = 0; i < 2000; ++i) {
      const int k = i % 2;
      std::memset(r.data() + 349, 0, 22);
      putText(r, 349, prefixes[k]);
      putText(r, 360, suffixes[k]);
      SetReaderSettings(r.data());
    }
    done = true;
  });
  int reads = 0;
  while (!done || reads == 0) {
    const Record r = getSettings();
    const std::string prefix = textAt(r, 349);
    const std::string suffix = textAt(r, 360);
    const bool whole = (prefix.empty() || prefix == prefixes[0] || prefix == prefixes[1]) &&
                       (suffix.empty() || suffix == suffixes[0] || suffix == suffixes[1]);
    if (!whole) {
      ADD_FAILURE() << "prefix '" << prefix << "', suffix '" << suffix << "'";
      break;
    }
    ++reads;
  }
  writer.join();
}

}  // namespace
}  // namespace settings_testing
