// Frame reading on a real pseudo-terminal, fed hand-made bytes: every
// framing, the gaps that end or bound a frame, and what a babbling or
// vanishing device does to a read.
#include "core/serial_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "api/library.h"
#include "barcode_port_fixture.h"
#include "core/device_kind.h"

using reader::ByteString;
using reader::DeviceChannel;
using testing_support::RawPty;

namespace {

class SerialChannelTest : public testing_support::BarcodePortTest {
 protected:
  bool read(int kind, ByteString &out, int firstByteTimeoutMs = 1000, bool decode = false) {
    channel().kind = kind;
    return reader::readFrame(port(), out, firstByteTimeoutMs, decode);
  }
};

std::vector<std::uint8_t> bytes(const ByteString &s) { return s.toBytes(); }

}  // namespace

TEST_F(SerialChannelTest, TextEngineFrameDropsEscAndEndsAtCr) {
  ByteString out;
  pty_->send(
      "\x1b"
      "AB\r");
  ASSERT_TRUE(read(2, out));
  EXPECT_TRUE(out.equals("AB"));

  pty_->send("*000\r");  // no ESC is fine too
  ASSERT_TRUE(read(2, out));
  EXPECT_TRUE(out.equals("*000"));

  pty_->send(
      "\x1b"
      "CD");  // the CR never comes within the gap
  EXPECT_FALSE(read(2, out));
  EXPECT_TRUE(out.equals("CD"));  // what arrived is kept
}

TEST_F(SerialChannelTest, AsciiModuleLineSkipsZeroBytesAndTheCrBeforeLf) {
  ByteString out;
  pty_->send("L\r\n");
  ASSERT_TRUE(read(5, out));
  EXPECT_TRUE(out.equals("L"));
  pty_->send(std::vector<std::uint8_t>{0x00, 'L', '\n'});
  ASSERT_TRUE(read(5, out));
  EXPECT_TRUE(out.equals("L"));
  pty_->send("\n");
  ASSERT_TRUE(read(5, out));
  EXPECT_TRUE(out.empty());
}

TEST_F(SerialChannelTest, SsiAnswerLeavesTheChecksumInThePort) {
  ByteString out;
  pty_->send(std::vector<std::uint8_t>{0x04, 0xD0, 0x00, 0x00, 0xFF, 0x2C});
  ASSERT_TRUE(read(3, out));
  EXPECT_EQ(bytes(out), (std::vector<std::uint8_t>{0x04, 0xD0, 0x00, 0x00}));
  // The checksum is still there: the next read starts with it.
  std::uint8_t next = 0;
  reader::setTimeout(port(), 100, 'r');
  ASSERT_TRUE(reader::readByte(port(), next));
  EXPECT_EQ(next, 0xFF);
}

TEST_F(SerialChannelTest, SsiDecodeSkipsTheAckChecksumAndTheHeader) {
  ByteString out;
  // Checksum of the start-decode ACK, then a decode packet: length 9, 0xF3,
  // source, status, type 0x08 and "0123" (checksum bytes follow).
  pty_->send(std::vector<std::uint8_t>{0xFF, 0x2C, 0x09, 0xF3, 0x00, 0x00, 0x08, '0', '1', '2', '3', 0xFE, 0x00});
  ASSERT_TRUE(read(4, out, 1000, true));
  EXPECT_EQ(bytes(out), (std::vector<std::uint8_t>{0x08, '0', '1', '2', '3'}));

  // Any other opcode is not a decode.
  pty_->send(std::vector<std::uint8_t>{0xFF, 0x2C, 0x05, 0xD1, 0x00, 0x00, 0x01});
  EXPECT_FALSE(read(4, out, 1000, true));
}

TEST_F(SerialChannelTest, SsiDecodeWaitsTheCallersTimeForTheDecodeToBegin) {
  ByteString out;
  // The ACK checksum is there at once; the decode arrives 300 ms later,
  // well after the 20 ms inter-byte gap.
  pty_->send(std::vector<std::uint8_t>{0xFF, 0x2C});
  std::thread late([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pty_->send(std::vector<std::uint8_t>{0x07, 0xF3, 0x00, 0x00, 0x03, 'A', 'B'});
  });
  const bool ok = read(3, out, 3000, true);
  late.join();
  ASSERT_TRUE(ok);
  EXPECT_EQ(bytes(out), (std::vector<std::uint8_t>{0x03, 'A', 'B'}));
}

TEST_F(SerialChannelTest, SsiMultipacketDecodeDropsTheBytesAfterAZero) {
  ByteString out;
  // Length 12: F3, source, status, 0x99, real type 0x1B, one skipped byte,
  // then 'X', 0 (+2 skipped), 'Y' : count reaches 12 - 4 - 1 - 2 = 5.
  pty_->send(
      std::vector<std::uint8_t>{0xFF, 0x2C, 0x0C, 0xF3, 0x00, 0x00, 0x99, 0x1B, 0x01, 'X', 0x00, 0x55, 0x66, 'Y'});
  ASSERT_TRUE(read(3, out, 1000, true));
  EXPECT_EQ(bytes(out), (std::vector<std::uint8_t>{0x1B, 'X', 'Y'}));
}

TEST_F(SerialChannelTest, SsiMultipacketDecodeCutShortFailsInsteadOfInventingBytes) {
  ByteString out;
  // Announces five more bytes, delivers one.
  pty_->send(std::vector<std::uint8_t>{0xFF, 0x2C, 0x0C, 0xF3, 0x00, 0x00, 0x99, 0x1B, 0x01, 'X'});
  EXPECT_FALSE(read(3, out, 1000, true));
  EXPECT_EQ(bytes(out), (std::vector<std::uint8_t>{0x1B, 'X'}));
}

TEST_F(SerialChannelTest, HexModuleFrameEndsAtTheFirstQuietGap) {
  ByteString out;
  pty_->send("[00]\r\n");
  ASSERT_TRUE(read(6, out));
  EXPECT_TRUE(out.equals("[00]\r\n"));
  EXPECT_FALSE(read(6, out, 100));  // nothing at all: no frame
}

TEST_F(SerialChannelTest, ABabblingDeviceCannotGrowAFrameWithoutBound) {
  std::atomic<bool> stop{false};
  std::thread babble([this, &stop] {
    const std::vector<std::uint8_t> chunk(1024, 'z');
    while (!stop) {
      try {
        pty_->send(chunk);
      } catch (...) {
        return;
      }
    }
  });
  ByteString out;
  const bool ok = read(6, out);  // a hex-frame module never pauses 40 ms
  stop = true;
  reader::closePort(port());  // unblocks a writer stuck on a full pty
  babble.join();
  EXPECT_FALSE(ok);
  EXPECT_LE(out.length(), reader::kMaxFrameBytes);
}

TEST_F(SerialChannelTest, AVanishedDeviceFailsTheReadPromptly) {
  ByteString out;
  pty_->closeMaster();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(read(2, out, 10000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // not the 10 s wait
  EXPECT_NE(channel().lastError.load(), 0u);
}

TEST_F(SerialChannelTest, TimeoutsAreSetOnlyWhenTheyChange) {
  EXPECT_TRUE(reader::setTimeout(port(), 250, 'r'));
  EXPECT_FALSE(reader::setTimeout(port(), 250, 'r'));
  EXPECT_TRUE(reader::setTimeout(port(), 250, 'w'));
  EXPECT_FALSE(reader::setTimeout(port(), 250, 'w'));
  EXPECT_FALSE(reader::setTimeout(port(), 100, 'x'));
}

TEST_F(SerialChannelTest, WritePurgesStaleInputFirst) {
  pty_->send("stale\r");
  // Wait until the stale bytes are in the port before the write purges them.
  std::uint8_t first = 0;
  reader::setTimeout(port(), 1000, 'r');
  ASSERT_TRUE(reader::readByte(port(), first));
  ASSERT_TRUE(reader::writeFrame(port(), ByteString::fromText("VER")));
  EXPECT_EQ(pty_->receive(), (std::vector<std::uint8_t>{'V', 'E', 'R'}));
  pty_->send(
      "\x1b"
      "fresh\r");
  ByteString out;
  ASSERT_TRUE(read(2, out));
  EXPECT_TRUE(out.equals("fresh"));
}

TEST(SerialChannelOpen, AMissingPortFailsWithTheSystemError) {
  unsetenv("READER_COM2");
  DeviceChannel &channel = reader::library().device.rfid;
  channel.portNumber = 2;
  const auto lock = reader::PortLock::take(channel);
  EXPECT_FALSE(reader::openPort(*lock));
  EXPECT_NE(channel.lastError.load(), 0u);
  EXPECT_FALSE(channel.port.isOpen());
  EXPECT_FALSE(reader::setBaud(*lock, 9600));
  EXPECT_EQ(channel.baudRate.load(), 9600);
}
