// Reading one decode from a hand-fed port: the candidate is named and handed
// back, the SSI engine gets its acknowledgement when the caller sends it, and
// the channel's stored result stays as it was whatever arrives.
#include "core/decode_reading.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "barcode_port_fixture.h"
#include "core/channel_error.h"
#include "core/device_kind.h"

using reader::ScanResult;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kHostAck = {0x04, 0xD0, 0x04, 0x00, 0xFF, 0x28};
constexpr int kWaitMs = 5000;  // for a decode to begin

class DecodeReadingTest : public testing_support::BarcodePortTest {
 protected:
  void SetUp() override {
    BarcodePortTest::SetUp();
    ScanResult stored;
    stored.code = 'A';
    stored.data.assign("STORED");
    channel().result.set(stored);
  }
  void TearDown() override {
    EXPECT_EQ(channel().result.get().data.toString(), "STORED");
    BarcodePortTest::TearDown();
  }
  // The checksum of the start-decode ACK, which the answer read left in the
  // port, then a decode packet and its checksum.
  void sendSsiDecode(Bytes packet) {
    packet.insert(packet.begin(), {0xFF, 0x2C});
    packet.insert(packet.end(), {0xFE, 0x01});
    pty_->send(packet);
  }
};

TEST_F(DecodeReadingTest, TextEngineDecodeNoReadAndTimeOut) {
  channel().kind = reader::DeviceKind::TextEngine;
  pty_->send("\x1bI000ABC\r");
  ScanResult out;
  ASSERT_TRUE(reader::readDecode(port(), out, kWaitMs));
  EXPECT_EQ(out.code, 'I');
  EXPECT_EQ(out.name.toString(), "Code 128");
  EXPECT_EQ(out.data.toString(), "ABC");

  pty_->send("*000\r");
  EXPECT_FALSE(reader::readDecode(port(), out, kWaitMs));
  EXPECT_EQ(channel().lastError, reader::ChannelError::NoDecode);
  EXPECT_TRUE(out.data.empty());

  EXPECT_FALSE(reader::readDecode(port(), out, 100));  // nothing comes
}

TEST_F(DecodeReadingTest, SsiDecodeIsNamedAndAcknowledgedWhenTheCallerSays) {
  channel().kind = reader::DeviceKind::SsiEngine3;
  sendSsiDecode({0x09, 0xF3, 0x00, 0x00, 0x03, 'A', 'B', '1', '2'});  // type 3, "AB12"
  ScanResult out;
  ASSERT_TRUE(reader::readDecode(port(), out, kWaitMs));
  EXPECT_EQ(out.code, 3);
  EXPECT_EQ(out.name.toString(), "Code 128");
  EXPECT_EQ(out.data.toString(), "AB12");
  // The read leaves the acknowledgement to the caller.
  EXPECT_TRUE(pty_->receive(std::chrono::milliseconds(200)).empty());
  reader::acknowledgeDecode(port());
  EXPECT_EQ(pty_->receive(), kHostAck);

  // Type 0x99: the real type (15) follows, then a byte that is not data; a
  // zero byte in the data takes two more bytes with it.
  channel().kind = reader::DeviceKind::SsiEngine4;
  sendSsiDecode({0x0D, 0xF3, 0x00, 0x00, 0x99, 0x0F, 0x01, 'A', 'B', 0x00, 0x11, 0x22, 'C'});
  ASSERT_TRUE(reader::readDecode(port(), out, kWaitMs));
  EXPECT_EQ(out.code, 15);
  EXPECT_EQ(out.name.toString(), "EAN 128");
  EXPECT_EQ(out.data.toString(), "ABC");
  reader::acknowledgeDecode(port());
  EXPECT_EQ(pty_->receive(), kHostAck);

  // Nothing to acknowledge on the text engine.
  channel().kind = reader::DeviceKind::TextEngine;
  reader::acknowledgeDecode(port());
  EXPECT_TRUE(pty_->receive(std::chrono::milliseconds(200)).empty());
}

TEST_F(DecodeReadingTest, CancelledWaitTakesNoDecodeAndSendsNoAck) {
  std::atomic<int> released{1};
  const reader::WaitCancel cancel{&released, nullptr};
  channel().kind = reader::DeviceKind::SsiEngine3;
  sendSsiDecode({0x09, 0xF3, 0x00, 0x00, 0x03, 'A', 'B', '1', '2'});
  ScanResult out;
  EXPECT_FALSE(reader::readDecode(port(), out, kWaitMs, &cancel));
  EXPECT_TRUE(pty_->receive(std::chrono::milliseconds(300)).empty());
}

}  // namespace
