// readerd's tag commands on both module kinds: a write reaches the tag's
// memory and reads back, each reply with readerctl's tag members; an empty
// field is the library's error code.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "readerd/nested_reply.h"
#include "readerd/served_reader.h"
#include "readerd/socket_client.h"
#include "support/test_terminal.h"

namespace {

using readerctl::JsonReply;
using readerd_testing::nestedReply;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;

class ReaderdTagTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
  void TearDown() override { testing_support::clearReaderEnvironment(); }
};

TEST_P(ReaderdTagTest, AWriteChangesTheTagAndReadsBack) {
  readersim::TerminalConfig config = testing_support::quickConfig(0, GetParam());
  const readersim::SimTag tagit = readersim::tagOf("tagit:A1B2C3D4:48656C6C6F");
  config.tags.push_back(tagit);
  const auto terminal = testing_support::startTerminal(config);
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());

  const JsonReply written = nestedReply(client, R"({"cmd":"tag_write","start":-1,"text":"Hi\u0000!","id":"w"})");
  ASSERT_EQ(written.string("reply"), "tag_write") << written.string("message").value_or("");
  EXPECT_EQ(written.string("id"), "w");
  EXPECT_EQ(written.number("type_code"), 'T');
  EXPECT_EQ(written.string("type_char"), "T");
  EXPECT_EQ(written.string("family"), "Tag-it");
  EXPECT_EQ(written.string("uid"), "A1B2C3D4");
  EXPECT_EQ(written.string("uid_bytes"), "A1B2C3D4");
  EXPECT_TRUE(written.member("flags")->isNull());
  EXPECT_EQ(written.number("start"), -1);
  EXPECT_EQ(written.number("written"), 4);
  EXPECT_EQ(written.number("requested"), 4);
  const std::vector<std::uint8_t> memory = terminal->tag(tagit.uid())->memory();
  const std::string bytes("Hi\0!o", 5);  // over "Hello"
  EXPECT_NE(std::search(memory.begin(), memory.end(), bytes.begin(), bytes.end()), memory.end());

  const JsonReply read = nestedReply(client, R"({"cmd":"tag_read","length":5})");
  ASSERT_EQ(read.string("reply"), "tag_read") << read.string("message").value_or("");
  EXPECT_EQ(read.string("uid"), "A1B2C3D4");
  EXPECT_EQ(read.number("start"), -1);
  EXPECT_EQ(read.string("data"), "486900216F");
  const JsonReply uid = nestedReply(client, R"({"cmd":"tag_read","uid_only":true})");
  EXPECT_EQ(uid.string("uid"), "A1B2C3D4");
  EXPECT_TRUE(uid.member("data")->isNull());

  ASSERT_FALSE(terminal->clearTags().has_value());
  const JsonReply none = nestedReply(client, R"({"cmd":"tag_read"})");
  EXPECT_EQ(none.string("error"), "reader_failed");
  EXPECT_EQ(none.number("result"), -280);
  EXPECT_NE(none.string("message").value_or("").find("no tag read"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ModuleKinds, ReaderdTagTest, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

}  // namespace
