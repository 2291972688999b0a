// Decodes reach every subscriber of readerd, each with the client's own
// consecutive sequence numbers, when a client presses the trigger with a
// barcode in front of a simulated text engine; clients that did not ask for
// barcodes get none.
#include <gtest/gtest.h>

#include <string>

#include "readerd/served_reader.h"
#include "readerd/socket_client.h"
#include "support/test_terminal.h"

namespace {

using readerd::JsonObject;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;
using readersim::barcodeOf;

class ReaderdAnnouncementTest : public readerd_testing::TextEngineServiceTest<> {
 protected:
};

TEST_F(ReaderdAnnouncementTest, EverySubscriberGetsEachDecodeInOrder) {
  ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  SocketClient first(served.path());
  SocketClient second(served.path());
  SocketClient tagsOnly(served.path());
  ASSERT_TRUE(first.connected() && second.connected() && tagsOnly.connected());
  ASSERT_TRUE(readerd_testing::subscribeWhenRunning(first, "all"));
  EXPECT_EQ(second.request(R"({"cmd":"subscribe","what":"barcodes"})").boolean("tags"), false);
  EXPECT_EQ(tagsOnly.request(R"({"cmd":"subscribe","what":"tags"})").boolean("barcodes"), false);

  const std::string barcodes[] = {"code39:HELLO", "code128:SECOND 2"};
  for (int scan = 0; scan < 2; ++scan) {
    ASSERT_FALSE(terminal_->presentBarcode(barcodeOf(barcodes[scan])));
    const JsonObject pressed = first.request(R"({"cmd":"trigger","key":1,"pressed":true,"id":7})");
    EXPECT_EQ(pressed.string("reply"), "trigger");
    EXPECT_EQ(pressed.number("id"), 7);
    for (SocketClient *client : {&first, &second}) {
      const JsonObject decode = readerd_testing::nextAnnouncement(*client);
      EXPECT_EQ(decode.string("event"), "barcode");
      EXPECT_EQ(decode.number("seq"), scan + 1);
      EXPECT_EQ(decode.number("device"), 7);
      EXPECT_EQ(decode.number("type"), scan == 0 ? 'A' : 'I');
      EXPECT_FALSE(decode.string("type_name").value_or("").empty());
      const std::string data = barcodes[scan].substr(barcodes[scan].find(':') + 1);
      EXPECT_EQ(decode.string("data"), data);
      EXPECT_NE(decode.string("record").value_or("").find(data), std::string::npos);
      EXPECT_EQ(decode.string("time").value_or("").size(), 24u);  // 2026-01-02T03:04:05.678Z
    }
    EXPECT_EQ(second.request(R"({"cmd":"trigger","pressed":false})").string("reply"), "trigger");
  }

  // Its first object after the subscription is this reply: no barcode came.
  EXPECT_EQ(tagsOnly.request(R"({"cmd":"version"})").string("reply"), "version");
  const JsonObject status = first.request(R"({"cmd":"status"})");
  EXPECT_EQ(status.string("reader"), "running");
  EXPECT_EQ(status.number("barcodes"), 2);
  EXPECT_EQ(status.number("clients"), 3);
  EXPECT_EQ(status.number("reader_type"), 1);  // the text engine
}

}  // namespace
