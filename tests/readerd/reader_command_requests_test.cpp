// What readerd's reader commands make of their requests: info says what the
// library says, and arguments a command cannot take are errors that leave
// the connection as usable as before.
#include <3100XE_DLL.h>
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

class ReaderdRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::clearReaderEnvironment();
    readersim::TerminalConfig config = testing_support::quickConfig(2, 6);
    config.serialNumber = readersim::IdentityText::given("SN-7");
    terminal_ = testing_support::startTerminal(config);
  }
  void TearDown() override { testing_support::clearReaderEnvironment(); }

  std::unique_ptr<readersim::Terminal> terminal_;
};

TEST_F(ReaderdRequestTest, InfoSaysWhatTheLibrarySays) {
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  const JsonReply info = nestedReply(client, R"({"cmd":"info"})");
  ASSERT_EQ(info.string("reply"), "info");
  char version[32] = {};
  GetDllVer(version, sizeof version);
  EXPECT_EQ(info.string("library_version"), version);
  EXPECT_EQ(info.string("serial_number"), "SN-7");
  EXPECT_EQ(memberText(info, "start", "function"), "InitReader");
  EXPECT_EQ(memberText(info, "start", "result"), "1");
  EXPECT_EQ(memberText(info, "start", "text"), "success");
  EXPECT_EQ(info.number("reader_type"), GetReaderType());
  EXPECT_EQ(info.number("active_devices"), GetActiveDevice());
  EXPECT_EQ(info.boolean("trigger_keys"), GetTriggerKeyStatus() != 0);
  EXPECT_EQ(memberText(info, "engine", "kind"), "2");
  EXPECT_EQ(memberText(info, "engine", "link_speed"), std::to_string(ReaderHostGetLinkSpeed(1)));
  EXPECT_EQ(memberText(info, "module", "kind"), "6");
  EXPECT_EQ(memberText(info, "module", "link_speed"), std::to_string(ReaderHostGetLinkSpeed(2)));
}

TEST_F(ReaderdRequestTest, ArgumentsACommandCannotTakeAreErrorsAndTheConnectionStays) {
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  const char *const refused[] = {
      R"({"cmd":"settings_set","id":3})",                         // no field
      R"({"cmd":"settings_set","no.such.field":1,"id":3})",       // unknown name
      R"({"cmd":"settings_set","k2.trigger_mode":16,"id":3})",    // out of range
      R"({"cmd":"settings_set","k2.trigger_mode":true,"id":3})",  // no number
      R"({"cmd":"settings_set","device_mask":1,"id":3})",         // read only
      R"({"cmd":"settings_reset","mask":-1,"id":3})",             // no mask
      R"({"cmd":"tag_read","length":0,"id":3})",                  // 1 to 128
      R"({"cmd":"tag_read","length":129,"id":3})",
      R"({"cmd":"tag_read","start":-2,"id":3})",
      R"({"cmd":"tag_read","uid_only":true,"length":4,"id":3})",        // no data with the UID
      R"({"cmd":"tag_read","key":7,"id":3})",                           // a key is text
      R"({"cmd":"tag_write","hex":"41","id":3})",                       // no start
      R"({"cmd":"tag_write","start":0,"id":3})",                        // no data
      R"({"cmd":"tag_write","start":0,"hex":"414","id":3})",            // odd digits
      R"({"cmd":"tag_write","start":0,"hex":"41","text":"A","id":3})",  // both
      R"({"cmd":"tag_write","start":0,"text":"","id":3})",              // nothing to write
  };
  for (const char *request : refused) {
    const JsonReply error = nestedReply(client, request);
    EXPECT_EQ(error.string("error"), "bad_argument") << request;
    EXPECT_EQ(error.number("id"), 3) << request;
    EXPECT_FALSE(error.string("message").value_or("").empty()) << request;
  }
  const std::string tooLong = R"({"cmd":"tag_write","start":0,"hex":")" + std::string(2 * 129, 'A') + "\"}";
  EXPECT_EQ(nestedReply(client, tooLong).string("error"), "bad_argument");
  // Nothing reached the engine, and the connection serves on.
  EXPECT_EQ(terminal_->textEngine()->block()[20] >> 4, 1);
  EXPECT_EQ(nestedReply(client, R"({"cmd":"version"})").string("reply"), "version");
}

}  // namespace
