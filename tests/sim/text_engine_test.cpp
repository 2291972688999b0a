#include "readersim/text_engine.h"

#include <gtest/gtest.h>

#include "host_port.h"
#include "readersim/hex_text.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

// What the host puts on the wire for one command.
std::string frame(std::string_view command) { return std::string(30, '\xFF') + "\x1B" + std::string(command) + "\r"; }
std::string reply(std::string_view text) { return "\x1B" + std::string(text) + "\r"; }

class TextEngineTest : public ::testing::Test {
 protected:
  std::string exchange(std::string_view command) {
    EXPECT_TRUE(host.write(frame(command)));
    return host.readUntil('\r');
  }

  TextEngine engine;
  HostPort host{engine.portPath(), 115200};
};

TEST_F(TextEngineTest, AnswersVersionAndBlockAsUppercaseHex) {
  EXPECT_EQ(exchange("VER"), reply("TE2 V3.10"));
  auto block = exchange("SET");
  ASSERT_EQ(block.size(), 2 + 2 * 32u);
  EXPECT_EQ(block, reply(toHexText(TextEngine::defaultBlock())));
  EXPECT_EQ(block.find_first_of("abcdef"), std::string::npos);
  EXPECT_EQ(engine.commands(), (std::vector<std::string>{"VER", "SET"}));
  // The recorded frame is the whole frame, preamble included.
  EXPECT_EQ(engine.framesReceived()[0], bytesOf(frame("VER")));
}

TEST_F(TextEngineTest, SaveReplacesTheBlockOnlyWhenWellFormed) {
  auto before = engine.block();
  std::vector<std::uint8_t> changed = before;
  changed[9] ^= 0x02;
  EXPECT_EQ(exchange("SAVE" + toHexText(changed)), reply("OK"));
  EXPECT_EQ(engine.block(), changed);
  EXPECT_EQ(exchange("SET"), reply(toHexText(changed)));

  std::vector<std::uint8_t> shorter(changed.begin(), changed.end() - 1);
  EXPECT_EQ(exchange("SAVE" + toHexText(shorter)), reply("NG"));
  EXPECT_EQ(exchange("SAVE" + toHexText(changed).replace(0, 1, "G")), reply("NG"));
  EXPECT_EQ(exchange("SAVE" + toHexText(changed) + "0"), reply("NG"));
  EXPECT_EQ(engine.block(), changed);
}

TEST_F(TextEngineTest, OnAndOffAreNeverAnswered) {
  ASSERT_TRUE(host.write(frame("ON")));
  ASSERT_TRUE(engine.waitForFrames(1, kTimeout));
  EXPECT_TRUE(engine.scanning());
  ASSERT_TRUE(host.write(frame("OFF")));
  // The first answer to arrive is the one to VER.
  EXPECT_EQ(exchange("VER"), reply("TE2 V3.10"));
  EXPECT_FALSE(engine.scanning());
}

TEST_F(TextEngineTest, UnknownCommandsAndRefusalsOnDemandGetNg) {
  EXPECT_EQ(exchange("XYZ"), reply("NG"));
  engine.refuseNext(2);
  ASSERT_TRUE(host.write(frame("ON")));  // not answered, so not refused either
  EXPECT_EQ(exchange("VER"), reply("NG"));
  EXPECT_EQ(exchange("SET"), reply("NG"));
  EXPECT_EQ(exchange("VER"), reply("TE2 V3.10"));
  engine.setRefuseAll(true);
  EXPECT_EQ(exchange("VER"), reply("NG"));
  EXPECT_EQ(exchange("VER"), reply("NG"));
}

TEST_F(TextEngineTest, FramesWithoutEscOrSplitAcrossWritesStillFrame) {
  ASSERT_TRUE(host.write(std::string(30, '\xFF') + "VER\r"));
  EXPECT_EQ(host.readUntil('\r'), reply("TE2 V3.10"));
  auto whole = frame("SET");
  ASSERT_TRUE(host.write(whole.substr(0, 20)));
  ASSERT_TRUE(host.write(whole.substr(20)));
  EXPECT_EQ(host.readUntil('\r').size(), 2 + 2 * 32u);
}

TEST_F(TextEngineTest, ACutFrameIsGivenUpAfterSilence) {
  ASSERT_TRUE(host.write(std::string(30, '\xFF') + "\x1BSE"));
  ASSERT_TRUE(engine.log().waitForCount([](const TrafficRecord &r) { return r.has(traffic_flag::kIncomplete); }, 1,
                                        kTimeout));
  EXPECT_EQ(exchange("VER"), reply("TE2 V3.10"));
  EXPECT_EQ(engine.commands(), (std::vector<std::string>{"VER"}));
}

TEST(TextEngine, ShortBlockIsServedAsConfigured) {
  TextEngine::Options options;
  options.block = TextEngine::defaultBlock(29);
  TextEngine engine(options);
  HostPort host(engine.portPath(), 115200);
  ASSERT_TRUE(host.write(frame("SET")));
  EXPECT_EQ(host.readUntil('\r'), reply(toHexText(TextEngine::defaultBlock(29))));
  ASSERT_TRUE(host.write(frame("SAVE" + toHexText(TextEngine::defaultBlock(32)))));
  EXPECT_EQ(host.readUntil('\r'), reply("NG"));
}

}  // namespace
}  // namespace readersim
