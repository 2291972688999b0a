// A client that asks and never reads: readerd goes on serving the others,
// drops what does not fit the slow one's queue, and tells it how much when
// it reads again.
#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

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

TEST(ReaderdSlowClientTest, AClientThatStaysBehindIsDroppedAndTheOthersGoOn) {
  readerd::ServerOptions options;
  options.startReader = false;
  options.queueLimit = 16;
  options.stallLimit = std::chrono::milliseconds(100);
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient stuck(served.path(), 4096);
  SocketClient fast(served.path());
  // It keeps asking and never reads: its replies pile up until it is
  // dropped, which its next write finds out.
  std::string requests;
  for (int i = 0; i < 2000; ++i) requests += "{\"cmd\":\"version\"}\n";
  const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
  while (stuck.write(requests) && std::chrono::steady_clock::now() < deadline) {
  }
  JsonObject status;
  for (int i = 0; i < 500 && status.number("dropped") != 1; ++i) status = fast.request(R"({"cmd":"status"})");
  EXPECT_EQ(status.number("dropped"), 1);
  EXPECT_EQ(status.number("clients"), 1);
  // What reached the stuck client's socket before the drop, then the end.
  while (stuck.readLine()) {
  }
  EXPECT_EQ(fast.request(R"({"cmd":"version","id":2})").number("id"), 2);
}

// Descriptors this process has open now.
int openDescriptors() {
  int count = 0;
  if (DIR *directory = ::opendir("/proc/self/fd")) {
    while (::readdir(directory) != nullptr) ++count;
    ::closedir(directory);
  }
  return count;
}

TEST(ReaderdSlowClientTest, ThousandsOfConnectionsComingAndGoingLeaveNothingBehind) {
  readerd::ServerOptions options;
  options.startReader = false;
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient observer(served.path());
  ASSERT_EQ(observer.request(R"({"cmd":"status"})").number("clients"), 1);
  const int before = openDescriptors();
  for (int i = 0; i < 3000; ++i) {
    SocketClient passing(served.path());
    ASSERT_TRUE(passing.connected()) << i;
    // Some leave mid-line, some mid-request, some without a word.
    if (i % 3 == 0) passing.write("{\"cmd\":\"stat");
    if (i % 3 == 1) passing.write("{\"cmd\":\"status\"}\n{\"cmd\":\"version\"}\n");
  }
  JsonObject status;
  for (int i = 0; i < 500 && status.number("clients") != 1; ++i) status = observer.request(R"({"cmd":"status"})");
  EXPECT_EQ(status.number("clients"), 1);
  EXPECT_EQ(status.number("connections"), 3001);
  EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
