// A client that asks and never reads: readerd goes on serving the others,
// drops what does not fit the slow one's queue, and tells it how much when
// it reads again.
#include <gtest/gtest.h>

#include <string>

#include "readerd/served_reader.h"
#include "readerd/socket_client.h"

namespace {

using readerd::JsonObject;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;

TEST(ReaderdSlowClientTest, AClientThatNeverReadsDelaysNobodyAndLearnsWhatItMissed) {
  readerd::ServerOptions options;
  options.startReader = false;
  options.queueLimit = 16;
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient slow(served.path(), 4096);
  SocketClient fast(served.path());
  ASSERT_TRUE(slow.connected() && fast.connected());

  // Far more replies than the socket's buffers and the queue hold; writing
  // them to a client that does not read would block a service that waited.
  constexpr int kRequests = 40000;
  std::string flood;
  for (int i = 0; i < kRequests; ++i) flood += "{\"cmd\":\"version\"}\n";
  ASSERT_TRUE(slow.write(flood));
  const JsonObject reply = fast.request(R"({"cmd":"status","id":"fast"})");
  EXPECT_EQ(reply.string("id"), "fast");
  EXPECT_EQ(reply.number("clients"), 2);

  // The slow client reads at last: every request is accounted for, by its
  // reply or by a notice of the replies it missed (the service may still be
  // working through the requests, so there can be several).
  int replies = 0;
  double missed = 0;
  while (replies + missed < kRequests) {
    const JsonObject object = slow.read();
    ASSERT_FALSE(object.fields.empty()) << replies << " replies and " << missed << " missed";
    if (object.string("reply") == "version") {
      ++replies;
    } else {
      ASSERT_EQ(object.string("event"), "overflow");
      missed += object.number("missed").value_or(0);
    }
  }
  EXPECT_GT(missed, 0);
  EXPECT_EQ(replies + missed, kRequests);
  EXPECT_EQ(slow.request(R"({"cmd":"version","id":"again"})").string("id"), "again");
}

}  // namespace
