// Good-read feedback and the feedback exports: order of the outputs, caps
// on the pulses, the audio driver only on the first handheld model, and the
// results of Beeper and SetVibrator. Waits go through a recording pause, so
// their lengths are seen without waiting them out.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/good_read_feedback.h"
#include "output_log.h"

using Lines = std::vector<std::string>;

namespace {

testing_support::OutputLog *currentLog = nullptr;

void recordPause(std::uint32_t ms) { currentLog->add("pause " + std::to_string(ms)); }

class FeedbackTest : public ::testing::Test {
 protected:
  FeedbackTest() { currentLog = &log_; }
  ~FeedbackTest() override { currentLog = nullptr; }

  reader::Library &lib() { return reader::library(); }
  reader::LibraryOptions &options() { return reader::library().options; }

  testing_support::OutputLog log_;
};

TEST_F(FeedbackTest, FirstModelGetsCappedSignalAndIndicatorThenTheSound) {
  lib().device.model = 1;
  options().goodReadSignalTime = 300;
  options().goodReadIndicatorTime = 1000;
  options().goodReadIndicatorMode = 2;
  options().goodReadSound = 4;
  reader::runGoodReadFeedback(lib(), recordPause);
  EXPECT_EQ(log_.lines(), (Lines{"audio 1122 param 2 switch 1", "pause 255", "audio 1122 param 2 switch 0",
                                 "audio 7777 param 2 switch 0", "pause 25500", "audio 8888 param 0 switch 0",
                                 "sound stop", "sound \\Windows\\MsgBox 22001"}));
  ASSERT_EQ(log_.audioRecords.size(), 4u);  // every byte but the fields is 0
  EXPECT_EQ(log_.audioRecords[0],
            (std::vector<std::uint8_t>{0, 0, 0, 0, 0x22, 0x11, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));

  // Zero times send no command at all.
  log_.take();
  options().goodReadSignalTime = 0;
  options().goodReadIndicatorTime = 0;
  reader::runGoodReadFeedback(lib(), recordPause);
  EXPECT_EQ(log_.lines(), (Lines{"sound stop", "sound \\Windows\\MsgBox 22001"}));
}

TEST_F(FeedbackTest, OtherModelsGetNoAudioDriverCommandButStillTheSound) {
  options().goodReadSignalTime = 100;
  options().goodReadIndicatorTime = 10;
  options().goodReadSound = 9;
  for (int model : {0, 2}) {
    lib().device.model = model;
    reader::runGoodReadFeedback(lib(), recordPause);
    EXPECT_EQ(log_.take(), (Lines{"sound stop", "sound \\Windows\\LowBatt 22001"})) << model;
  }
}

TEST_F(FeedbackTest, SoundNumbersOutsideTheTableOnlyStopAndVibrationIsInHalfSeconds) {
  for (int number : {0, 10, -1}) {
    reader::playGoodReadSound(number);
    EXPECT_EQ(log_.take(), (Lines{"sound stop"})) << number;
  }
  reader::vibrate(0, recordPause);
  reader::vibrate(3, recordPause);
  EXPECT_EQ(log_.take(), (Lines{"vibrator 1", "pause 1500", "vibrator 0"}));
}

TEST_F(FeedbackTest, BeeperPlaysByNumberOrByPath) {
  EXPECT_EQ(Beeper(3, nullptr), READER_OK);
  Lines lines = log_.take();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "sound stop");
  EXPECT_EQ(lines.back(), "sound \\Windows\\MenuPop 22001");

  EXPECT_EQ(Beeper(0, nullptr), READER_OK);  // stops, plays nothing
  for (const std::string &line : log_.take()) EXPECT_EQ(line, "sound stop");

  // By path: used as it is; a byte above 127 is the character of that value.
  EXPECT_EQ(Beeper(-1, "\\Storage\\caf\xE9.wav"), READER_OK);
  EXPECT_EQ(log_.take(), (Lines{"sound stop", "sound \\Storage\\caf\xC3\xA9.wav 22001"}));

  EXPECT_EQ(Beeper(-1, nullptr), READER_ERR_NO_SOUND);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(FeedbackTest, SetVibratorModes) {
  EXPECT_EQ(SetVibrator(0, 5), READER_OK);
  EXPECT_EQ(SetVibrator(1, 0), READER_OK);  // on and at once off again
  EXPECT_EQ(SetVibrator(2, 5), READER_OK);  // nothing
  EXPECT_EQ(log_.lines(), (Lines{"vibrator 0", "vibrator 1", "vibrator 0"}));
}

}  // namespace
