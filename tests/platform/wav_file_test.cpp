// Reading WAV files: the layouts real files come in, and everything that is
// not a playable PCM WAV refused whole.
#include "platform/posix/wav_file.h"

#include <gtest/gtest.h>

#include "platform/wav_bytes.h"

namespace {

using namespace reader::platform::posix;
using namespace platform_test;

std::optional<PcmSound> parse(const std::vector<std::uint8_t> &bytes, std::string &problem) {
  return parseWav(bytes.data(), bytes.size(), problem);
}

TEST(WavFile, ReadsPcmInTheLayoutsToolsWrite) {
  std::string problem;
  // 16-bit stereo at an odd rate.
  const auto stereo = noise(4 * 50);
  auto sound = parse(pcmWav(2, 11025, 16, stereo), problem);
  ASSERT_TRUE(sound) << problem;
  EXPECT_EQ(sound->channels, 2u);
  EXPECT_EQ(sound->rate, 11025u);
  EXPECT_EQ(sound->bitsPerSample, 16u);
  EXPECT_EQ(sound->samples, stereo);
  EXPECT_EQ(sound->frames(), 50u);

  // 8-bit mono with an odd length (a pad byte follows), a LIST chunk between
  // fmt and data, and a format chunk longer than 16 bytes (cbSize 0).
  const auto mono = noise(101, 7);
  auto format = formatChunk(1, 1, 8000, 8);
  format.insert(format.end(), {0, 0});
  sound = parse(riff({chunk("fmt ", format), chunk("LIST", noise(13, 3)), chunk("data", mono), chunk("cue ", {1})}),
                problem);
  ASSERT_TRUE(sound) << problem;
  EXPECT_EQ(sound->bitsPerSample, 8u);
  EXPECT_EQ(sound->samples, mono);

  // WAVE_FORMAT_EXTENSIBLE whose sub-format is PCM.
  auto extensible = formatChunk(0xFFFE, 1, 44100, 16);
  extensible.insert(extensible.end(), {22, 0, 16, 0, 4, 0, 0, 0, 1, 0});
  extensible.resize(40, 0xAA);  // the rest of the GUID
  const auto samples = noise(64, 9);
  sound = parse(riff({chunk("fmt ", extensible), chunk("data", samples)}), problem);
  ASSERT_TRUE(sound) << problem;
  EXPECT_EQ(sound->samples, samples);

  // A RIFF size that disagrees with the file (common, and harmless).
  auto wrongSize = pcmWav(1, 8000, 16, samples);
  wrongSize[4] = 0xFF;
  wrongSize[5] = 0xFF;
  sound = parse(wrongSize, problem);
  ASSERT_TRUE(sound) << problem;
  EXPECT_EQ(sound->samples, samples);

  // A partial frame at the end is left out.
  sound = parse(pcmWav(2, 8000, 16, noise(4 * 10 + 3)), problem);
  ASSERT_TRUE(sound) << problem;
  EXPECT_EQ(sound->samples.size(), 40u);
}

TEST(WavFile, RefusesWhatItCannotPlay) {
  const auto samples = noise(200);
  struct Case {
    const char *what;
    std::vector<std::uint8_t> bytes;
    const char *problem;
  };
  auto truncated = pcmWav(1, 8000, 16, samples);
  truncated.pop_back();
  auto truncatedHeader = pcmWav(1, 8000, 16, samples);
  truncatedHeader.resize(30);  // inside the format chunk
  const std::string text = "RIFF but not really a wave file at all";
  const Case cases[] = {
      {"empty", {}, "not a WAV file"},
      {"text", std::vector<std::uint8_t>(text.begin(), text.end()), "not a WAV file"},
      {"RIFF of another kind", riff({}), "truncated"},
      {"AVI",
       [] {
         auto b = riff({});
         b[8] = 'A', b[9] = 'V', b[10] = 'I', b[11] = ' ';
         return b;
       }(),
       "not a WAV"},
      {"data cut short", truncated, "truncated"},
      {"cut in the format", truncatedHeader, "truncated"},
      {"no data chunk", riff({chunk("fmt ", formatChunk(1, 1, 8000, 16))}), "truncated"},
      {"data before fmt", riff({chunk("data", samples), chunk("fmt ", formatChunk(1, 1, 8000, 16))}), "before"},
      {"float", riff({chunk("fmt ", formatChunk(3, 1, 8000, 32)), chunk("data", samples)}), "unsupported"},
      {"ADPCM", riff({chunk("fmt ", formatChunk(2, 1, 8000, 4)), chunk("data", samples)}), "unsupported"},
      {"24-bit", pcmWav(1, 8000, 24, samples), "unsupported"},
      {"3 channels", pcmWav(3, 8000, 16, samples), "unsupported"},
      {"no channels", pcmWav(0, 8000, 16, samples), "unsupported"},
      {"rate 0", pcmWav(1, 0, 16, samples), "damaged"},
      {"short fmt", riff({chunk("fmt ", std::vector<std::uint8_t>(14, 1)), chunk("data", samples)}), "damaged"},
  };
  for (const Case &c : cases) {
    std::string problem;
    EXPECT_FALSE(parse(c.bytes, problem)) << c.what;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
  }
  // A block alignment that disagrees with the sample size.
  auto misaligned = pcmWav(2, 8000, 16, samples);
  misaligned[12 + 8 + 12] = 2;
  std::string problem;
  EXPECT_FALSE(parse(misaligned, problem));
  // Every prefix of a good file is refused or read within its bounds (ASan watches).
  const auto good = pcmWav(2, 8000, 16, samples);
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::vector<std::uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(parse(prefix, problem)) << size;
  }
}

}  // namespace
