// A device that vanishes while clients are subscribed: readerd halts the
// reader, says so, starts it again once the device is back, and the
// clients' announcements go on with consecutive sequence numbers. A change
// of the library's settings in readerd.conf restarts the reader too.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

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

class ReaderdRestartTest : public readerd_testing::TextEngineServiceTest<true> {
 protected:
  static readerd::ServerOptions quickRetries() {
    readerd::ServerOptions options;
    options.firstRetryDelay = std::chrono::milliseconds(50);
    options.maxRetryDelay = std::chrono::milliseconds(200);
    return options;
  }

  // Presses and releases trigger key 1 with `barcode` in view; the barcode
  // event that follows.
  JsonObject scan(SocketClient &client, const std::string &barcode) {
    EXPECT_FALSE(terminal_->presentBarcode(barcodeOf(barcode)));
    EXPECT_EQ(client.request(R"({"cmd":"trigger","pressed":true})").string("reply"), "trigger");
    JsonObject decode = nextAnnouncement(client);
    EXPECT_EQ(client.request(R"({"cmd":"trigger","pressed":false})").string("reply"), "trigger");
    return decode;
  }

  // The next "reader" event, passing over replies.
  static JsonObject nextReaderEvent(SocketClient &client) {
    for (;;) {
      JsonObject object = client.read();
      if (object.fields.empty() || object.string("event") == "reader") return object;
    }
  }
};

TEST_F(ReaderdRestartTest, AVanishedEngineComesBackAndTheSequenceGoesOn) {
  ServedReader served(quickRetries());
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(subscribeWhenRunning(client, "barcodes"));
  EXPECT_EQ(scan(client, "code39:BEFORE").number("seq"), 1);

  terminal_->engine()->vanish();
  // The library finds the engine gone at its next exchange: this press.
  client.write(R"({"cmd":"trigger","pressed":true})"
               "\n");
  const JsonObject gone = nextReaderEvent(client);
  EXPECT_EQ(gone.string("state"), "restarting");
  EXPECT_EQ(gone.string("reason").value_or("").rfind("COM1 ", 0), 0u) << gone.string("reason").value_or("");
  const JsonObject meanwhile = client.request(R"({"cmd":"status"})");
  EXPECT_EQ(meanwhile.string("reader"), "restarting");
  EXPECT_EQ(meanwhile.number("restarts"), 1);
  EXPECT_TRUE(meanwhile.number("retry_in").has_value());
  EXPECT_EQ(client.request(R"({"cmd":"trigger","pressed":true})").string("error"), "not_running");

  terminal_->reconnectEngine();
  EXPECT_EQ(nextReaderEvent(client).string("state"), "running");
  const JsonObject after = scan(client, "code39:AFTER");
  EXPECT_EQ(after.string("data"), "AFTER");
  EXPECT_EQ(after.number("seq"), 2);
  const JsonObject status = client.request(R"({"cmd":"status"})");
  EXPECT_EQ(status.string("reader"), "running");
  EXPECT_EQ(status.number("restarts"), 1);
  EXPECT_EQ(status.number("active_devices"), 7);
  EXPECT_NE(status.string("last_port_error").value_or("").find("errno"), std::string::npos);
}

TEST_F(ReaderdRestartTest, AChangeOfTheLibrarysSettingsOnReloadRestartsTheReader) {
  readerd::ServerOptions options = quickRetries();
  char directory[] = "/tmp/readerd-conf-XXXXXX";
  ASSERT_NE(::mkdtemp(directory), nullptr);
  options.configPath = std::string(directory) + "/readerd.conf";
  std::ofstream(options.configPath) << "QUEUE_LIMIT=64\n";
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient client(served.path());
  ASSERT_TRUE(subscribeWhenRunning(client, "barcodes"));

  // Settings of the service alone: the reader goes on as it is.
  served.server().reload();
  EXPECT_EQ(client.request(R"({"cmd":"status"})").number("restarts"), 0);

  std::ofstream(options.configPath) << "QUEUE_LIMIT=64\nREADER_SERIAL_NUMBER=RELOADED-1\n";
  served.server().reload();
  const JsonObject restarting = nextReaderEvent(client);
  EXPECT_EQ(restarting.string("state"), "starting");
  EXPECT_EQ(restarting.string("reason"), "the configuration changed");
  EXPECT_EQ(nextReaderEvent(client).string("state"), "running");
  EXPECT_EQ(client.request(R"({"cmd":"status"})").number("restarts"), 1);
  EXPECT_EQ(scan(client, "code39:STILL").string("data"), "STILL");
  ::unlink(options.configPath.c_str());
  ::rmdir(directory);
}

}  // namespace
