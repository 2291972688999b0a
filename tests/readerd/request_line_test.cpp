// What readerd makes of the lines clients send: requests split across writes
// or sharing one, and lines that are not requests at all, each answered
// with an error object after which the connection goes on working.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "readerd/served_reader.h"
#include "readerd/socket_client.h"

namespace {

using readerd::JsonObject;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;
using readerd_testing::withoutReader;

TEST(ReaderdRequestLineTest, MalformedLinesGetAnErrorAndTheConnectionStaysUsable) {
  ServedReader served(withoutReader());
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(client.connected());
  for (const char *line : {"{not json", "[1,2]", R"({"cmd":"version",})", R"({"cmd":{"nested":1}})",
                           R"({"cmd":"version"} trailing)", "\"cmd\"", R"({"cmd":"ver)", "{\"cmd\":\"a\x01\"}"}) {
    const JsonObject error = client.request(line);
    EXPECT_EQ(error.string("error"), "malformed") << line;
    EXPECT_FALSE(error.string("message").value_or("").empty()) << line;
  }
  const JsonObject version = client.request(R"({"cmd":"version","id":"after"})");
  EXPECT_EQ(version.string("reply"), "version");
  EXPECT_EQ(version.string("id"), "after");
  EXPECT_FALSE(version.string("library").value_or("").empty());
}

TEST(ReaderdRequestLineTest, RequestsThatAreNotCommandsNameTheirFault) {
  ServedReader served(withoutReader());
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(client.connected());
  const std::pair<const char *, const char *> cases[] = {
      {R"({"what":"all"})", "missing_command"},
      {R"({"cmd":7})", "missing_command"},
      {R"({"cmd":"launch"})", "unknown_command"},
      {R"({"cmd":"subscribe","what":"everything"})", "bad_argument"},
      {R"({"cmd":"trigger","key":3,"pressed":true})", "bad_argument"},
      {R"({"cmd":"trigger","key":1})", "bad_argument"},
      {R"({"cmd":"trigger","key":1,"pressed":"yes"})", "bad_argument"},
  };
  for (const auto &[line, code] : cases) EXPECT_EQ(client.request(line).string("error"), code) << line;
  const JsonObject error = client.request(R"({"cmd":"launch","id":12.5})");
  EXPECT_EQ(error.number("id"), 12.5);
}

TEST(ReaderdRequestLineTest, LinesAreWholeWhateverTheWritesThatCarryThem) {
  ServedReader served(withoutReader());
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(client.connected());
  // One request over two writes (the reply cannot come before the second),
  // then two in one write, a CRLF end and a blank line between.
  ASSERT_TRUE(client.write(R"({"cmd":"ver)"));
  ASSERT_TRUE(client.write("sion\",\"id\":1}\n\n  \r\n{\"cmd\":\"status\",\"id\":2}\r\n"));
  const JsonObject first = client.read();
  EXPECT_EQ(first.string("reply"), "version");
  EXPECT_EQ(first.number("id"), 1);
  const JsonObject second = client.read();
  EXPECT_EQ(second.string("reply"), "status");
  EXPECT_EQ(second.string("reader"), "stopped");
  EXPECT_EQ(second.number("id"), 2);
}

TEST(ReaderdRequestLineTest, AnOversizedLineIsRefusedOnceAndSkippedWhole) {
  ServedReader served(withoutReader());
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(client.connected());
  // Just under the bound: an ordinary request.
  const std::string padded = R"({"cmd":"version","pad":")" + std::string(64 * 1024 - 40, 'x') + "\"}";
  ASSERT_LE(padded.size(), 64u * 1024);
  EXPECT_EQ(client.request(padded).string("reply"), "version");
  // Over it, in many writes, with what looks like a request inside: one
  // error, and nothing of the line is taken for a request.
  const std::string chunk = std::string(1000, 'y') + R"({"cmd":"status"})";
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(client.write(chunk));
  const JsonObject refused = client.request(R"(" tail of the long line)");
  EXPECT_EQ(refused.string("error"), "line_too_long");
  const JsonObject next = client.request(R"({"cmd":"version","id":"next"})");
  EXPECT_EQ(next.string("id"), "next");
  EXPECT_EQ(next.string("reply"), "version");
}

TEST(ReaderdRequestLineTest, AClientThatStopsWritingStillGetsItsAnswersThenTheEnd) {
  ServedReader served(withoutReader());
  ASSERT_TRUE(served.listening()) << served.error();
  // As `echo ... | socat - UNIX-CONNECT:...` does: the requests (the last
  // one without its line end), then the write side shut down.
  SocketClient client(served.path());
  ASSERT_TRUE(client.write(
      "{\"cmd\":\"version\",\"id\":1}\n{\"cmd\":\"settings_get\",\"id\":2}\n{\"cmd\":\"status\",\"id\":3}"));
  ASSERT_EQ(::shutdown(client.fd(), SHUT_WR), 0);
  EXPECT_EQ(client.read().number("id"), 1);
  // The command thread answers it (the reader does not run), after the quick ones.
  const JsonObject second = client.read();
  const JsonObject third = client.read();
  EXPECT_EQ(second.number("id").value_or(0) + third.number("id").value_or(0), 5);
  EXPECT_FALSE(client.readLine());
  EXPECT_TRUE(client.closedByPeer());
}

}  // namespace
