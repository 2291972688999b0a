// Spoiled answers: noise, cut and oversized answers reach the host as the
// device would give them, each kind keeping what frames its answers, and
// the device answers properly again once the fault is cleared.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_port.h"
#include "readersim/ascii_module.h"
#include "readersim/ssi_engine.h"
#include "readersim/text_engine.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;
using Fault = PtyDevice::AnswerFault;

std::vector<std::uint8_t> lastAnswer(const PtyDevice &device) {
  std::vector<std::uint8_t> last;
  for (const TrafficRecord &r : device.log().snapshot())
    if (r.isSentAnswer()) last = r.bytes;
  return last;
}

TEST(AnswerFault, SpoilsEveryAnswerOfAnAsciiModuleUntilCleared) {
  AsciiModule module;
  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(host.write("v"));
  const std::string line = host.readUntil('\n');
  ASSERT_GT(line.size(), 4u);

  // Noise of the same length: nothing in it a host could frame.
  module.setAnswerFault(Fault::Garbage);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.waitForAnswers(2, kTimeout));
  const std::string noise = host.read(line.size());
  ASSERT_EQ(noise.size(), line.size());
  for (char c : std::string("\r\n\x1b[] \0", 7)) EXPECT_EQ(noise.find(c), std::string::npos) << int(c);

  // Half an answer, then nothing until the next command's whole answer.
  module.setAnswerFault(Fault::Cut);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.waitForAnswers(3, kTimeout));
  module.setAnswerFault(Fault::None);
  ASSERT_TRUE(host.write("v"));
  EXPECT_EQ(host.readUntil('\n'), line.substr(0, line.size() / 2) + line);

  // The filler goes before CR LF, so the line still ends as a line does.
  module.setAnswerFault(Fault::Oversized);
  ASSERT_TRUE(host.write("v"));
  const std::string oversized = host.readUntil('\n');
  EXPECT_EQ(oversized, line.substr(0, line.size() - 2) + std::string(PtyDevice::kOversizeFill, 'A') + "\r\n");
  EXPECT_EQ(module.answerFault(), Fault::Oversized);
}

TEST(AnswerFault, KeepsTheTrailerOfEachKind) {
  // SSI: the checksum stays last; kind 2: the CR.
  SsiEngine ssi(SsiEngine::Options{3, std::nullopt, 9600});
  HostPort ssiHost(ssi.portPath(), 9600);
  ASSERT_TRUE(ssiHost.write(ssi::makePacket(ssi::kOpcodeRevisionRequest, ssi::kSourceHost, 0)));
  ASSERT_TRUE(ssi.waitForAnswers(1, kTimeout));
  const std::vector<std::uint8_t> revision = lastAnswer(ssi);
  ssi.setAnswerFault(Fault::Oversized);
  ASSERT_TRUE(ssiHost.write(ssi::makePacket(ssi::kOpcodeRevisionRequest, ssi::kSourceHost, 0)));
  ASSERT_TRUE(ssi.waitForAnswers(2, kTimeout));
  const std::vector<std::uint8_t> big = lastAnswer(ssi);
  ASSERT_EQ(big.size(), revision.size() + PtyDevice::kOversizeFill);
  EXPECT_TRUE(std::equal(revision.end() - 2, revision.end(), big.end() - 2));
  EXPECT_TRUE(std::equal(revision.begin(), revision.end() - 2, big.begin()));

  TextEngine text;
  HostPort textHost(text.portPath(), TextEngine::kSpeed);
  text.setAnswerFault(Fault::Cut);
  ASSERT_TRUE(textHost.write(std::string(30, '\xff') + "\x1bVER\r"));
  ASSERT_TRUE(text.waitForAnswers(1, kTimeout));
  const std::vector<std::uint8_t> cut = lastAnswer(text);
  ASSERT_FALSE(cut.empty());
  EXPECT_EQ(cut.front(), 0x1B);
  EXPECT_EQ(std::count(cut.begin(), cut.end(), std::uint8_t{'\r'}), 0);
}

}  // namespace
}  // namespace readersim
