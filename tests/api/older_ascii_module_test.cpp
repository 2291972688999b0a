// The ASCII module's older firmware ("ISO 0.9v"): identified as the ASCII
// module, and its tag memory reached with that firmware's short block
// commands ("rNN", "wNN"), which the newer firmware's forms would not reach.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/hex_bytes.h"
#include "support/test_terminal.h"

using namespace testing_support;

namespace {

class OlderAsciiModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
  std::unique_ptr<readersim::Terminal> terminal_;
};

TEST_F(OlderAsciiModuleTest, IsIdentifiedAndItsTagMemoryReadAndWrittenWithTheShortCommands) {
  Bytes memory(16);
  for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<std::uint8_t>(0x30 + i);
  readersim::TerminalConfig config = quickConfig(0, 5);
  config.asciiModule.version = readersim::AsciiModule::Version::Iso09v;
  config.tags.push_back(readersim::tagOf("philips:E004010203040506:" + hex(memory)));
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_ASCII_MODULE);

  char buffer[64] = {};
  ASSERT_EQ(ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 0, 16, 0, nullptr), 16);
  EXPECT_EQ(Bytes(buffer, buffer + 16), memory);

  const Bytes update = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  int written = -1;
  ASSERT_EQ(WriteRfidData(update.data(), 5, static_cast<int>(update.size()), &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 6);
  Bytes expected = memory;
  std::copy(update.begin(), update.end(), expected.begin() + 5);
  ASSERT_EQ(ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 0, 16, 0, nullptr), 16);
  EXPECT_EQ(Bytes(buffer, buffer + 16), expected);

  bool shortRead = false, shortWrite = false;
  for (const ReceivedFrame &frame : receivedFrames(*terminal_->module())) {
    const std::string text = frame.text();
    EXPECT_NE(text.rfind("rb", 0), 0u) << text;
    EXPECT_NE(text.rfind("wb", 0), 0u) << text;
    shortRead = shortRead || text.rfind("r0", 0) == 0;
    shortWrite = shortWrite || text.rfind("w0", 0) == 0;
  }
  EXPECT_TRUE(shortRead);
  EXPECT_TRUE(shortWrite);
}

}  // namespace
