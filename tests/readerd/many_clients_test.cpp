// Many subscribers at once, one of which never reads: every one that keeps
// up gets every decode, in order, with consecutive sequence numbers, and
// the one that does not delays nobody. A client that leaves in the middle
// of a command it sent costs the others nothing.
#include <gtest/gtest.h>
#include <poll.h>

#include <memory>
#include <string>
#include <vector>

#include "readerd/served_reader.h"
#include "readerd/socket_client.h"
#include "support/test_terminal.h"

namespace {

using readerd::JsonObject;
using readerd_testing::nextAnnouncement;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;
using readerd_testing::subscribeWhenRunning;
using readersim::barcodeOf;

class ReaderdManyClientsTest : public readerd_testing::TextEngineServiceTest<> {
 protected:
};

TEST_F(ReaderdManyClientsTest, EverySubscriberThatKeepsUpGetsEveryDecodeWhileOneNeverReads) {
  constexpr int kClients = 120;
  constexpr int kScans = 12;
  readerd::ServerOptions options;
  options.queueLimit = 4;  // the one that never reads is behind at once
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient control(served.path());
  ASSERT_TRUE(subscribeWhenRunning(control, "tags"));  // no module: no tags, only the reader's state
  SocketClient stuck(served.path(), 4096);
  ASSERT_TRUE(stuck.write("{\"cmd\":\"subscribe\",\"what\":\"barcodes\"}\n"));
  std::vector<std::unique_ptr<SocketClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<SocketClient>(served.path()));
    ASSERT_EQ(clients.back()->request(R"({"cmd":"subscribe","what":"barcodes"})").string("reply"), "subscribe");
  }

  for (int scan = 1; scan <= kScans; ++scan) {
    const std::string data = "MANY" + std::to_string(scan);
    ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:" + data)));
    ASSERT_EQ(control.request(R"({"cmd":"trigger","pressed":true})").string("reply"), "trigger");
    for (int i = 0; i < kClients; ++i) {
      const JsonObject decode = nextAnnouncement(*clients[i]);
      ASSERT_EQ(decode.string("data"), data) << "client " << i << ", scan " << scan;
      ASSERT_EQ(decode.number("seq"), scan) << "client " << i;
    }
    ASSERT_EQ(control.request(R"({"cmd":"trigger","pressed":false})").string("reply"), "trigger");
  }
  const JsonObject status = control.request(R"({"cmd":"status"})");
  EXPECT_EQ(status.number("barcodes"), kScans);
  EXPECT_EQ(status.number("clients"), kClients + 2);
}

TEST_F(ReaderdManyClientsTest, AClientThatLeavesInTheMiddleOfACommandCostsTheOthersNothing) {
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(subscribeWhenRunning(client, "barcodes"));
  for (int i = 0; i < 20; ++i) {
    SocketClient leaving(served.path());
    // Commands that run on the command thread, then gone before the answer.
    ASSERT_TRUE(leaving.write("{\"cmd\":\"settings_get\"}\n{\"cmd\":\"info\"}\n{\"cmd\":\"settings_ge"));
  }
  // (Its reply nests the fields: read as a line.)
  ASSERT_TRUE(client.write("{\"cmd\":\"settings_get\",\"id\":\"mine\"}\n"));
  const std::string settings = client.readLine().value_or("");
  EXPECT_EQ(settings.rfind(R"({"reply":"settings_get","id":"mine",)", 0), 0u) << settings;
  ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:STILL")));
  ASSERT_EQ(client.request(R"({"cmd":"trigger","pressed":true})").string("reply"), "trigger");
  EXPECT_EQ(nextAnnouncement(client).string("data"), "STILL");
  EXPECT_EQ(client.request(R"({"cmd":"status"})").number("clients"), 1);
}

}  // namespace
