// Sounds: files looked up in the sound folder and played on the sound
// player's thread, the good-read signal's tone, and what goes wrong with
// either. The player's logic runs against a stand-in for libasound that can
// hold a write, so a test sees a sound still playing; the samples' way to
// the sound card runs through the real libasound and its file plugin.
#include "platform/posix/sound_output.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform_test_support.h"
#include "platform/posix/alsa_library.h"
#include "platform/posix/signal_tone.h"
#include "platform/posix/sound_player.h"
#include "platform/posix/terminal_config.h"
#include "platform/wav_bytes.h"

namespace {

using namespace reader::platform::posix;
using namespace platform_test;
using namespace std::chrono_literals;

constexpr auto kGenerous = 20s;                   // a hang guard only
constexpr std::uint32_t kLibraryFlags = 0x22001;  // what the library plays its sounds with
constexpr std::uint32_t kLoopFlags = 0x9;

// One sound the stand-in was asked to play.
struct Stream {
  std::string device;
  int format = 0;
  unsigned channels = 0;
  unsigned rate = 0;
  std::vector<std::uint8_t> bytes;
  std::string ending;  // "drain", "drop", or empty while open
  bool closed = false;
};

// The stand-in for libasound: records every stream; a closed gate holds each write.
struct FakeAlsa {
  std::mutex mutex;
  std::condition_variable changed;
  bool gateOpen = true;
  int heldWrites = 0;
  int openError = 0;
  std::vector<Stream> streams;

  template <typename Predicate>
  bool waitFor(Predicate predicate) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kGenerous, predicate);
  }
  void setGate(bool open) {
    {
      std::lock_guard lock(mutex);
      gateOpen = open;
    }
    changed.notify_all();
  }
  std::vector<Stream> snapshot() {
    std::lock_guard lock(mutex);
    return streams;
  }
};

FakeAlsa *fake = nullptr;

Stream &streamOf(AlsaPcm *pcm) { return fake->streams[reinterpret_cast<std::uintptr_t>(pcm) - 1]; }

const AlsaLibrary kFakeLibrary{
    [](AlsaPcm **pcm, const char *name, int stream, int) {
      std::lock_guard lock(fake->mutex);
      EXPECT_EQ(stream, kAlsaStreamPlayback);
      if (fake->openError != 0) return -fake->openError;
      Stream opened;
      opened.device = name;
      fake->streams.push_back(opened);
      *pcm = reinterpret_cast<AlsaPcm *>(fake->streams.size());
      return 0;
    },
    [](AlsaPcm *pcm, int format, int access, unsigned channels, unsigned rate, int, unsigned) {
      std::lock_guard lock(fake->mutex);
      EXPECT_EQ(access, kAlsaAccessRwInterleaved);
      Stream &stream = streamOf(pcm);
      stream.format = format;
      stream.channels = channels;
      stream.rate = rate;
      return 0;
    },
    [](AlsaPcm *pcm, const void *buffer, unsigned long frames) -> long {
      std::unique_lock lock(fake->mutex);
      ++fake->heldWrites;
      fake->changed.notify_all();
      fake->changed.wait(lock, [] { return fake->gateOpen; });
      --fake->heldWrites;
      Stream &stream = streamOf(pcm);
      const std::size_t bytes = frames * stream.channels * (stream.format == kAlsaFormatU8 ? 1 : 2);
      const auto *data = static_cast<const std::uint8_t *>(buffer);
      stream.bytes.insert(stream.bytes.end(), data, data + bytes);
      fake->changed.notify_all();
      return static_cast<long>(frames);
    },
    [](AlsaPcm *pcm) {
      std::lock_guard lock(fake->mutex);
      streamOf(pcm).ending = "drain";
      return 0;
    },
    [](AlsaPcm *pcm) {
      std::lock_guard lock(fake->mutex);
      streamOf(pcm).ending = "drop";
      return 0;
    },
    [](AlsaPcm *, int error, int) { return error; },
    [](AlsaPcm *pcm) {
      {
        std::lock_guard lock(fake->mutex);
        streamOf(pcm).closed = true;
      }
      fake->changed.notify_all();
      return 0;
    },
    [](int error) -> const char * { return std::strerror(-error); },
};

std::size_t countLines(const std::string &text) {
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

// A temporary directory, removed with what it holds.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/reader-sound-XXXXXX";
    path_ = mkdtemp(pattern) != nullptr ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string &path() const { return path_; }
  std::string write(const std::string &name, const std::vector<std::uint8_t> &bytes) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

 private:
  std::string path_;
};

std::array<std::uint8_t, 20> audioRecord(std::uint32_t command, std::uint32_t parameter, std::uint32_t switchValue) {
  std::array<std::uint8_t, 20> record{};
  for (int i = 0; i < 4; ++i) {
    record[4 + i] = static_cast<std::uint8_t>(command >> (8 * i));
    record[12 + i] = static_cast<std::uint8_t>(parameter >> (8 * i));
    record[16 + i] = static_cast<std::uint8_t>(switchValue >> (8 * i));
  }
  return record;
}

bool playRecord(const std::array<std::uint8_t, 20> &record) {
  return playAudioRecord(*reinterpret_cast<const std::uint8_t(*)[20]>(record.data()));
}

class SoundOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    fake = &fake_;
    replaceAlsaLibraryForTests(&kFakeLibrary);
    reloadTerminalConfig();
  }
  void TearDown() override {
    fake_.setGate(true);
    playSoundFile(nullptr, 1);
    EXPECT_TRUE(waitSoundIdle(kGenerous));
    replaceAlsaLibraryForTests(nullptr);
    fake = nullptr;
  }

  // Waits until the stand-in holds a write of the `index`th stream.
  bool heldInStream(std::size_t index) {
    return fake_.waitFor([&] { return fake_.heldWrites > 0 && fake_.streams.size() == index + 1; });
  }

  TempDir dir_;
  ScopedEnv soundDir_{"READER_SOUND_DIR", dir_.path().c_str()};
  ScopedEnv device_{"READER_ALSA_DEVICE", nullptr};
  FakeAlsa fake_;
};

TEST_F(SoundOutput, PlaysTheNamedFileFromTheSoundFolder) {
  // The library names its sounds "\Windows\<name>" without extension; the
  // folder holds them as files of any case, with or without ".wav".
  const auto first = noise(4 * 300, 1), second = noise(300, 2), third = noise(2 * 300, 3);
  dir_.write("default.WAV", pcmWav(2, 22050, 16, first));
  dir_.write("Notify", pcmWav(1, 8000, 8, second));
  dir_.write("my sound.wav", pcmWav(1, 16000, 16, third));
  ScopedEnv device("READER_ALSA_DEVICE", "plughw:1,0");

  EXPECT_TRUE(playSoundFile("\\Windows\\Default", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_TRUE(playSoundFile("\\Windows\\Notify", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_TRUE(playSoundFile("/any/where/my sound.wav", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));

  const auto streams = fake_.snapshot();
  ASSERT_EQ(streams.size(), 3u);
  EXPECT_EQ(streams[0].device, "plughw:1,0");
  EXPECT_EQ(streams[0].format, kAlsaFormatS16Le);
  EXPECT_EQ(streams[0].channels, 2u);
  EXPECT_EQ(streams[0].rate, 22050u);
  EXPECT_EQ(streams[0].bytes, first);
  EXPECT_EQ(streams[1].format, kAlsaFormatU8);
  EXPECT_EQ(streams[1].rate, 8000u);
  EXPECT_EQ(streams[1].bytes, second);
  EXPECT_EQ(streams[2].bytes, third);
  for (const Stream &stream : streams) {
    EXPECT_EQ(stream.ending, "drain");  // played to the end
    EXPECT_TRUE(stream.closed);         // the card is free between sounds
  }
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(SoundOutput, ANewSoundOrAStopEndsThePlayingOne) {
  const auto longSound = noise(2 * 16000 * 5, 4), shortSound = noise(2 * 800, 5);
  dir_.write("Alarm2", pcmWav(1, 16000, 16, longSound));
  dir_.write("MsgBox", pcmWav(1, 16000, 16, shortSound));

  fake_.setGate(false);
  const auto start = Clock::now();
  EXPECT_TRUE(playSoundFile("\\Windows\\Alarm2", kLibraryFlags));
  EXPECT_LT(elapsedMs(start), kPromptMs);  // the caller never waits for the card
  ASSERT_TRUE(heldInStream(0));
  EXPECT_TRUE(playSoundFile("\\Windows\\MsgBox", kLibraryFlags));
  fake_.setGate(true);
  ASSERT_TRUE(waitSoundIdle(kGenerous));

  fake_.setGate(false);
  EXPECT_TRUE(playSoundFile("\\Windows\\Alarm2", kLibraryFlags));
  ASSERT_TRUE(heldInStream(2));
  EXPECT_TRUE(playSoundFile(nullptr, 1));
  fake_.setGate(true);
  ASSERT_TRUE(waitSoundIdle(kGenerous));

  const auto streams = fake_.snapshot();
  ASSERT_EQ(streams.size(), 3u);
  for (int stopped : {0, 2}) {
    EXPECT_EQ(streams[stopped].ending, "drop") << stopped;  // cut off, not played out
    EXPECT_LT(streams[stopped].bytes.size(), longSound.size() / 10) << stopped;
    EXPECT_TRUE(streams[stopped].closed);
    EXPECT_TRUE(std::equal(streams[stopped].bytes.begin(), streams[stopped].bytes.end(), longSound.begin()));
  }
  EXPECT_EQ(streams[1].bytes, shortSound);
  EXPECT_EQ(streams[1].ending, "drain");
}

TEST_F(SoundOutput, LoopsUntilStoppedAndWaitsWhenSynchronous) {
  const auto samples = noise(2 * 100, 6);
  dir_.write("VoicBeep", pcmWav(1, 8000, 16, samples));

  EXPECT_TRUE(playSoundFile("VoicBeep", kLoopFlags));
  ASSERT_TRUE(
      fake_.waitFor([&] { return fake_.streams.size() == 1 && fake_.streams[0].bytes.size() >= 3 * samples.size(); }));
  EXPECT_TRUE(playSoundFile(nullptr, 1));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  auto streams = fake_.snapshot();
  ASSERT_EQ(streams.size(), 1u);
  const auto &looped = streams[0].bytes;
  for (std::size_t at = 0; at < looped.size(); ++at) ASSERT_EQ(looped[at], samples[at % samples.size()]) << at;

  // Without the asynchronous flag the call returns once the sound has played.
  EXPECT_TRUE(playSoundFile("VoicBeep", 0x20000));
  streams = fake_.snapshot();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_TRUE(streams[1].closed);
  EXPECT_EQ(streams[1].bytes, samples);
}

TEST_F(SoundOutput, FilesThatCannotBePlayedAreReportedOnceAndNotPlayed) {
  auto truncated = pcmWav(1, 8000, 16, noise(400));
  truncated.erase(truncated.end() - 2, truncated.end());
  dir_.write("Hwandsw", truncated);
  dir_.write("MenuPop.wav", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0});  // an MP3 by another name
  std::filesystem::create_directory(dir_.path() + "/LowBatt");
  mkfifo((dir_.path() + "/Alarm3").c_str(), 0600);  // must not hang the open

  for (const char *name : {"\\Windows\\Hwandsw", "\\Windows\\MenuPop", "\\Windows\\Missing", "\\Windows\\LowBatt",
                           "\\Windows\\Alarm3", "\\Windows\\", ""}) {
    reloadTerminalConfig();
    EXPECT_FALSE(playSoundFile(name, kLibraryFlags)) << name;
    EXPECT_FALSE(playSoundFile(name, kLibraryFlags)) << name;
    EXPECT_EQ(countLines(terminalProblems()), 1u) << name << ": " << terminalProblems();
  }
  reloadTerminalConfig();
  playSoundFile("\\Windows\\Hwandsw", kLibraryFlags);
  EXPECT_NE(terminalProblems().find("truncated"), std::string::npos) << terminalProblems();
  reloadTerminalConfig();
  playSoundFile("\\Windows\\MenuPop", kLibraryFlags);
  EXPECT_NE(terminalProblems().find("not a WAV file"), std::string::npos) << terminalProblems();
  reloadTerminalConfig();
  playSoundFile("\\Windows\\Missing", kLibraryFlags);
  EXPECT_NE(terminalProblems().find("Missing"), std::string::npos) << terminalProblems();
  EXPECT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_TRUE(fake_.snapshot().empty());
}

TEST_F(SoundOutput, ADeviceThatDoesNotOpenIsReportedOnce) {
  dir_.write("Default", pcmWav(1, 8000, 16, noise(100)));
  fake_.openError = ENOENT;
  ScopedEnv device("READER_ALSA_DEVICE", "hw:7");
  for (int i = 0; i < 3; ++i) {
    playSoundFile("\\Windows\\Default", kLibraryFlags);
    ASSERT_TRUE(waitSoundIdle(kGenerous));
  }
  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 1)));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  const std::string problems = terminalProblems();
  EXPECT_EQ(countLines(problems), 1u) << problems;
  EXPECT_NE(problems.find("hw:7"), std::string::npos) << problems;
  // The card comes back: the next sound plays.
  fake_.openError = 0;
  EXPECT_TRUE(playSoundFile("\\Windows\\Default", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_EQ(fake_.snapshot().size(), 1u);
}

TEST_F(SoundOutput, TheGoodReadSignalIsAToneFromItsOnToItsOffRecord) {
  // The library's signal: on, its time, off; the indicator is no sound.
  fake_.setGate(false);
  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 1)));
  ASSERT_TRUE(heldInStream(0));
  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 0)));
  fake_.setGate(true);
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_FALSE(playRecord(audioRecord(0x7777, 1, 0)));
  EXPECT_FALSE(playRecord(audioRecord(0x8888, 0, 0)));
  EXPECT_FALSE(playRecord(audioRecord(0, 0, 0)));

  // Played out, the tone lasts the longest signal; its off record leaves a
  // sound file that is playing alone.
  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 1)));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  const auto file = noise(2 * 1600, 8);
  dir_.write("Default", pcmWav(1, 16000, 16, file));
  fake_.setGate(false);
  EXPECT_TRUE(playSoundFile("\\Windows\\Default", kLibraryFlags));
  ASSERT_TRUE(heldInStream(2));
  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 0)));
  fake_.setGate(true);
  ASSERT_TRUE(waitSoundIdle(kGenerous));

  const auto streams = fake_.snapshot();
  ASSERT_EQ(streams.size(), 3u);
  EXPECT_EQ(streams[0].ending, "drop");
  EXPECT_EQ(streams[1].ending, "drain");
  EXPECT_EQ(streams[1].format, kAlsaFormatS16Le);
  EXPECT_EQ(streams[1].channels, 1u);
  EXPECT_EQ(streams[1].rate, kSignalToneRate);
  EXPECT_EQ(streams[1].bytes.size(), 2u * kSignalToneRate * kSignalToneMs / 1000);
  EXPECT_EQ(streams[2].bytes, file);
  EXPECT_EQ(streams[2].ending, "drain");
}

TEST(SoundTone, IsASineOfTheSignalsPitchThatFadesInAndOut) {
  const PcmSound tone = makeSignalTone();
  ASSERT_EQ(tone.bitsPerSample, 16u);
  ASSERT_EQ(tone.channels, 1u);
  std::vector<int> samples;
  for (std::size_t i = 0; i + 1 < tone.samples.size(); i += 2) {
    samples.push_back(static_cast<std::int16_t>(tone.samples[i] | tone.samples[i + 1] << 8));
  }
  int crossings = 0, peak = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    peak = std::max(peak, std::abs(samples[i]));
  }
  const double seconds = static_cast<double>(samples.size()) / tone.rate;
  EXPECT_NEAR(crossings / (2 * seconds), kSignalToneHz, kSignalToneHz * 0.02);
  EXPECT_GT(peak, 12000);
  EXPECT_LT(peak, 20000);  // loud, never clipping
  EXPECT_LT(std::abs(samples.front()), 200);
  EXPECT_LT(std::abs(samples.back()), 200);
}

TEST(SoundOff, NothingPlaysUnlessConfigured) {
  ScopedEnv dir("READER_SOUND_DIR", nullptr);
  ScopedEnv device("READER_ALSA_DEVICE", nullptr);
  FakeAlsa quiet;
  fake = &quiet;
  replaceAlsaLibraryForTests(&kFakeLibrary);
  reloadTerminalConfig();
  EXPECT_FALSE(playSoundFile("\\Windows\\Default", kLibraryFlags));
  EXPECT_FALSE(playRecord(audioRecord(0x1122, 2, 1)));
  EXPECT_FALSE(playRecord(audioRecord(0x1122, 2, 0)));
  EXPECT_TRUE(playSoundFile(nullptr, 1));  // stopping nothing is no fault
  EXPECT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_TRUE(quiet.snapshot().empty());
  EXPECT_EQ(terminalProblems(), "");
  replaceAlsaLibraryForTests(nullptr);
  fake = nullptr;
}

// Through the real libasound: a PCM of its file plugin writes the samples it
// is given to a file, which must hold exactly the WAV's data.
class RealAlsaSound : public ::testing::Test {
 protected:
  void SetUp() override {
    void *library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) GTEST_SKIP() << "libasound.so.2 is not installed";
    dlclose(library);
    if (!std::filesystem::exists("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "no ALSA configuration";
    ASSERT_FALSE(dir_.path().empty());
    raw_ = dir_.path() + "/played.raw";
    const std::string conf = "</usr/share/alsa/alsa.conf>\npcm.readertest {\n  type file\n  slave.pcm null\n  file \"" +
                             raw_ + "\"\n  format raw\n}\n";
    const std::string confPath = dir_.write("asound.conf", std::vector<std::uint8_t>(conf.begin(), conf.end()));
    config_.emplace("ALSA_CONFIG_PATH", confPath.c_str());
    reloadTerminalConfig();
  }

  std::vector<std::uint8_t> played() const {
    std::ifstream in(raw_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  TempDir dir_;
  std::string raw_;
  std::optional<ScopedEnv> config_;
  ScopedEnv soundDir_{"READER_SOUND_DIR", dir_.path().c_str()};
  ScopedEnv device_{"READER_ALSA_DEVICE", "readertest"};
};

TEST_F(RealAlsaSound, TheCardGetsTheFilesSamples) {
  const auto stereo = noise(4 * 22050 / 5, 11);  // 0.2 s
  dir_.write("Default.wav", pcmWav(2, 22050, 16, stereo));
  EXPECT_TRUE(playSoundFile("\\Windows\\Default", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_EQ(terminalProblems(), "");
  EXPECT_EQ(played(), stereo);

  const auto mono8 = noise(8000 / 4 + 1, 12);  // odd: a pad byte follows in the file
  dir_.write("Notify.wav", pcmWav(1, 8000, 8, mono8));
  EXPECT_TRUE(playSoundFile("\\Windows\\Notify", kLibraryFlags));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_EQ(played(), mono8);

  EXPECT_TRUE(playRecord(audioRecord(0x1122, 2, 1)));
  ASSERT_TRUE(waitSoundIdle(kGenerous));
  EXPECT_EQ(played(), makeSignalTone().samples);
  EXPECT_EQ(terminalProblems(), "");
}

TEST_F(RealAlsaSound, AnUnknownDeviceIsReportedOnceAndPlaysNothing) {
  ScopedEnv device("READER_ALSA_DEVICE", "no_such_reader_device");
  dir_.write("Default.wav", pcmWav(1, 8000, 16, noise(1000)));
  for (int i = 0; i < 2; ++i) {
    playSoundFile("\\Windows\\Default", kLibraryFlags);
    ASSERT_TRUE(waitSoundIdle(kGenerous));
  }
  const std::string problems = terminalProblems();
  EXPECT_EQ(countLines(problems), 1u) << problems;
  EXPECT_NE(problems.find("no_such_reader_device"), std::string::npos) << problems;
  EXPECT_FALSE(std::filesystem::exists(raw_));
}

}  // namespace
