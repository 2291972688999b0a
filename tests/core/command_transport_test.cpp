// The command transport against scripted devices: framing on the wire,
// retries, and which answers count as refusals.
#include "core/command_transport.h"

#include <gtest/gtest.h>

#include <thread>

#include "barcode_port_fixture.h"

using reader::ByteString;
using reader::DeviceChannel;
using testing_support::RawPty;

namespace {

// Answers every command the host writes with the next scripted answer, and
// keeps what the host wrote.
class ScriptedDevice {
 public:
  ScriptedDevice(RawPty &pty, std::vector<std::vector<std::uint8_t>> answers)
      : thread_([this, &pty, answers = std::move(answers)] {
          for (const auto &answer : answers) {
            auto command = pty.receive(std::chrono::seconds(5));
            if (command.empty()) return;
            written_.push_back(std::move(command));
            if (!answer.empty()) pty.send(answer);
          }
          // Anything after the script is recorded, not answered.
          for (;;) {
            auto command = pty.receive(std::chrono::milliseconds(300));
            if (command.empty()) return;
            written_.push_back(std::move(command));
          }
        }) {}
  ~ScriptedDevice() { join(); }
  std::vector<std::vector<std::uint8_t>> join() {
    if (thread_.joinable()) thread_.join();
    return written_;
  }

 private:
  std::vector<std::vector<std::uint8_t>> written_;
  std::thread thread_;
};

std::vector<std::uint8_t> text(const std::string &s) { return {s.begin(), s.end()}; }

using CommandTransportTest = testing_support::BarcodePortTest;

}  // namespace

TEST_F(CommandTransportTest, TextEngineRefusalUsesUpEveryAttempt) {
  channel().kind = 2;
  ScriptedDevice device(*pty_, {text("\x1bNG\r"), text("\x1bNG\r"), text("\x1bNG\r")});
  ByteString answer;
  EXPECT_FALSE(reader::sendCommand(port(), "SAVE00", 1000, &answer, 3));
  const auto written = device.join();
  ASSERT_EQ(written.size(), 3u);  // exactly three writes, nothing more
  std::vector<std::uint8_t> frame(30, 0xFF);
  frame.push_back(0x1B);
  for (char c : std::string("SAVE00")) frame.push_back(static_cast<std::uint8_t>(c));
  frame.push_back(0x0D);
  EXPECT_EQ(written[0], frame);
}

TEST_F(CommandTransportTest, TextEngineAcceptsAnyOtherAnswerEvenAnEmptyOne) {
  channel().kind = 2;
  ScriptedDevice device(*pty_, {text("\r")});
  ByteString answer = ByteString::fromText("old");
  EXPECT_TRUE(reader::sendCommand(port(), "VER", 1000, &answer, 2));
  EXPECT_TRUE(answer.empty());
  EXPECT_EQ(device.join().size(), 1u);
}

TEST_F(CommandTransportTest, SsiPacketGetsItsChecksumAndOnlyEngineNaksAreRefusals) {
  channel().kind = 3;
  // A NAK from the engine (source 0) is retried; one claiming the host as
  // its source is an answer like any other.
  ScriptedDevice device(*pty_,
                        {{0x05, 0xD1, 0x00, 0x00, 0x01, 0xFF, 0x25}, {0x05, 0xD1, 0x04, 0x00, 0x01, 0xFF, 0x21}});
  ByteString packet = ByteString::fromBytes({0x04, 0xE4, 0x04, 0x00});
  ByteString answer;
  EXPECT_TRUE(reader::sendCommand(port(), packet, 1000, &answer, 5));
  EXPECT_EQ(answer.toBytes(), (std::vector<std::uint8_t>{0x05, 0xD1, 0x04, 0x00, 0x01}));
  const auto written = device.join();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], (std::vector<std::uint8_t>{0x04, 0xE4, 0x04, 0x00, 0xFF, 0x14}));
  EXPECT_EQ(written[1], written[0]);  // the checksum is appended once
}

TEST_F(CommandTransportTest, NoAttemptsMeansNoWriteAndTheCommandIsLeftAsItIs) {
  channel().kind = 4;
  ScriptedDevice device(*pty_, {});
  ByteString packet = ByteString::fromBytes({0x04, 0xE4, 0x04, 0x00});
  ByteString answer;
  EXPECT_FALSE(reader::sendCommand(port(), packet, 1000, &answer, 0));
  EXPECT_EQ(packet.length(), 4u);  // the checksum goes with the frame, not into the caller's packet
  EXPECT_TRUE(device.join().empty());
}

TEST_F(CommandTransportTest, ModuleCommandsGoOutAsTheyStandAndAnyLineIsAnAnswer) {
  channel().kind = 5;
  ScriptedDevice device(*pty_, {{}, text("N\r\n")});  // the first attempt gets no answer
  ByteString answer;
  EXPECT_TRUE(reader::sendCommand(port(), "rp0a", 1000, &answer, 2));
  EXPECT_TRUE(answer.equals("N"));
  const auto written = device.join();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], text("rp0a"));
}

TEST_F(CommandTransportTest, UnknownKindSendsNothing) {
  channel().kind = 0;
  ScriptedDevice device(*pty_, {});
  ByteString answer;
  EXPECT_FALSE(reader::sendCommand(port(), "VER", 1000, &answer, 3));
  EXPECT_FALSE(reader::sendCommand(port(), "VER", 1000, nullptr, 3));
  EXPECT_TRUE(device.join().empty());
}
