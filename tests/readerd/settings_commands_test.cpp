// readerd's settings commands on simulated engines: a change is read back
// under readerctl's field names and reaches the engine; a change the engine
// refuses comes back in not_taken; a reset sends the default set-up.
#include <gtest/gtest.h>

#include <string>

#include "readerd/nested_reply.h"
#include "readerd/served_reader.h"
#include "readerd/socket_client.h"
#include "support/test_terminal.h"

namespace {

using readerctl::JsonReply;
using readerd_testing::memberText;
using readerd_testing::nestedReply;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;
using testing_support::receivedFrames;

class ReaderdSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
  void TearDown() override { testing_support::clearReaderEnvironment(); }
};

// Frames a device received from `since` on.
std::vector<testing_support::ReceivedFrame> framesSince(const readersim::PtyDevice &device, std::size_t since) {
  std::vector<testing_support::ReceivedFrame> frames = receivedFrames(device);
  frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(std::min(since, frames.size())));
  return frames;
}

TEST_F(ReaderdSettingsTest, TextEngineFieldsAreSetReadBackAndARefusedOneIsNotTaken) {
  const auto terminal = testing_support::startTerminal(testing_support::quickConfig(2, 0));
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());

  const JsonReply before = nestedReply(client, R"({"cmd":"settings_get","id":1})");
  ASSERT_EQ(before.string("reply"), "settings_get");
  EXPECT_EQ(before.number("id"), 1);
  EXPECT_EQ(memberText(before, "fields", "k2.trigger_mode"), "1");  // the factory's
  ASSERT_NE(before.member("fields")->member("prefix"), nullptr);
  EXPECT_EQ(before.member("fields")->member("prefix")->kind, JsonReply::Kind::String);
  EXPECT_EQ(before.member("fields")->member("k3.code39.length1"), nullptr);  // not the fitted engine's

  const std::size_t framesBefore = receivedFrames(*terminal->engine()).size();
  const JsonReply set = nestedReply(client, R"({"cmd":"settings_set","k2.trigger_mode":0,"prefix":"A\u00e9"})");
  ASSERT_EQ(set.string("reply"), "settings_set");
  EXPECT_EQ(memberText(set, "fields", "k2.trigger_mode"), "0");
  EXPECT_EQ(memberText(set, "fields", "prefix"), "A\xE9");
  EXPECT_TRUE(set.member("not_taken")->members.empty());
  // The engine holds the trigger mode in the upper half of its block's byte 20.
  EXPECT_EQ(terminal->textEngine()->block()[20] >> 4, 0);
  bool saved = false;
  for (const auto &frame : framesSince(*terminal->engine(), framesBefore))
    saved = saved || testing_support::textEngineCommand(frame).starts_with("SAVE");
  EXPECT_TRUE(saved);
  EXPECT_EQ(memberText(nestedReply(client, R"({"cmd":"settings_get"})"), "fields", "prefix"), "A\xE9");

  // An engine that refuses: the field keeps its value, and says what was written.
  terminal->textEngine()->setRefuseAll(true);
  const JsonReply refused = nestedReply(client, R"({"cmd":"settings_set","k2.trigger_mode":6})");
  EXPECT_EQ(memberText(refused, "fields", "k2.trigger_mode"), "0");
  EXPECT_EQ(memberText(refused, "not_taken", "k2.trigger_mode"), "6");
  terminal->textEngine()->setRefuseAll(false);

  // The reset sends the default set-up to the engine.
  const std::size_t framesBeforeReset = receivedFrames(*terminal->engine()).size();
  const JsonReply reset = nestedReply(client, R"({"cmd":"settings_reset","mask":7})");
  EXPECT_EQ(reset.string("reply"), "settings_reset");
  EXPECT_EQ(reset.number("result"), 1);
  EXPECT_FALSE(framesSince(*terminal->engine(), framesBeforeReset).empty());
  EXPECT_EQ(memberText(nestedReply(client, R"({"cmd":"settings_get"})"), "fields", "prefix"),
            memberText(before, "fields", "prefix"));
}

TEST_F(ReaderdSettingsTest, SsiEngineFieldIsSentAsAParameter) {
  const auto terminal = testing_support::startTerminal(testing_support::quickConfig(3, 0));
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());

  const std::size_t framesBefore = receivedFrames(*terminal->engine()).size();
  // A string value is taken as readerctl takes it on its command line.
  const JsonReply set = nestedReply(client, R"({"cmd":"settings_set","k3.code39.length1":"0x0C"})");
  ASSERT_EQ(set.string("reply"), "settings_set") << set.string("message").value_or("");
  EXPECT_EQ(memberText(set, "fields", "k3.code39.length1"), "12");
  EXPECT_TRUE(set.member("not_taken")->members.empty());
  bool sent = false;
  for (const auto &frame : framesSince(*terminal->engine(), framesBefore))
    sent = sent || testing_support::ssiOpcode(frame) == readersim::ssi::kOpcodeParamSend;
  EXPECT_TRUE(sent);
  EXPECT_EQ(memberText(nestedReply(client, R"({"cmd":"settings_get"})"), "fields", "k3.code39.length1"), "12");

  // A text engine's field on this one: nothing is written.
  const JsonReply other = nestedReply(client, R"({"cmd":"settings_set","k2.trigger_mode":0})");
  EXPECT_EQ(other.string("error"), "bad_argument");
  EXPECT_NE(other.string("message").value_or("").find("fitted engine is of kind 3"), std::string::npos);
}

}  // namespace
