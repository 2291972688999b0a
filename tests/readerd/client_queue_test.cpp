// A client's bounded output queue over a socket pair: what is dropped when
// the client does not read, how it is told, and lines larger than the
// socket's buffer arriving whole over partial writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "client_connection.h"
#include "json_line.h"
#include "json_writer.h"

namespace {

using readerd::ClientConnection;

class ClientQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
    served_ = pair[0];
    peer_ = pair[1];
  }
  void TearDown() override { ::close(peer_); }

  // Everything the peer can read now, as lines.
  std::vector<std::string> drain() {
    std::vector<std::string> lines;
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::recv(peer_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (count <= 0) break;
      pending_.append(buffer, static_cast<std::size_t>(count));
    }
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      lines.push_back(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
    return lines;
  }

  static std::string object(int n) { return readerd::JsonWriter().field("n", n).line(); }

  int served_ = -1;
  int peer_ = -1;
  std::string pending_;
};

TEST_F(ClientQueueTest, AClientThatFellBehindIsToldHowManyObjectsItMissed) {
  ClientConnection client(served_, 4);
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(client.send(object(n)), n <= 4) << n;
  EXPECT_EQ(client.missed(), 6u);
  client.flush();
  // Once caught up it hears of the gap before anything else.
  EXPECT_EQ(drain(), (std::vector<std::string>{R"({"n":1})", R"({"n":2})", R"({"n":3})", R"({"n":4})",
                                               R"({"event":"overflow","missed":6})"}));
  EXPECT_TRUE(client.send(object(11)));
  client.flush();
  EXPECT_EQ(drain(), std::vector<std::string>{R"({"n":11})"});
  EXPECT_EQ(client.missed(), 6u);
}

TEST_F(ClientQueueTest, ObjectsLargerThanTheSocketBufferArriveWhole) {
  const int small = 4096;
  ::setsockopt(served_, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  ::setsockopt(peer_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ClientConnection client(served_, 8);
  const std::string big(300 * 1024, 'z');
  ASSERT_TRUE(client.send(readerd::JsonWriter().field("big", big).line()));
  ASSERT_TRUE(client.send(object(2)));
  std::vector<std::string> lines;
  for (int round = 0; round < 100000 && lines.size() < 2; ++round) {
    client.flush();  // never blocks: takes what the socket has room for
    for (std::string &line : drain()) lines.push_back(std::move(line));
  }
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(readerd::parseJsonLine(lines[0]).object->string("big"), big);
  EXPECT_EQ(lines[1], R"({"n":2})");
  EXPECT_FALSE(client.wantsWrite());
}

TEST_F(ClientQueueTest, APeerThatHungUpClosesTheConnection) {
  ClientConnection client(served_, 4);
  ::close(peer_);
  peer_ = -1;
  client.send(object(1));
  client.flush();  // EPIPE, without a SIGPIPE that would end the service
  EXPECT_FALSE(client.open());
  EXPECT_FALSE(client.send(object(2)));
}

}  // namespace
