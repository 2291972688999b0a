// Login keys that the ASCII module would split: a key text holding a line
// end must never reach the module, where the rest of the key would run as a
// command of its own and its answers would be taken for later ones.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/test_terminal.h"

using namespace testing_support;
using readersim::tagOf;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr const char *kMifare = "mifare:04A1B2C3";
const Bytes kMifareUid{0x04, 0xA1, 0xB2, 0xC3};
constexpr int kFirstDataBlock = 4;

class RfidKeyTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    readersim::TerminalConfig config = quickConfig(0, 5);
    config.tags.push_back(tagOf(kMifare));
    terminal_ = startTerminal(config);
    ASSERT_EQ(InitReader(), READER_OK);
  }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  Bytes block(int n) const {
    const auto tag = terminal_->tag(kMifareUid);
    return tag && tag->block(n) ? *tag->block(n) : Bytes{};
  }
  std::vector<std::string> commandsSince(std::size_t from) const {
    std::vector<std::string> out;
    const auto frames = receivedFrames(*terminal_->module());
    for (std::size_t i = from; i < frames.size(); ++i) out.push_back(frames[i].text());
    return out;
  }
  std::size_t mark() const { return receivedFrames(*terminal_->module()).size(); }

  std::unique_ptr<readersim::Terminal> terminal_;
};

// Block 4 written with 0x5A by a key that smuggles in a block write.
std::string smugglingKey(const char *lineEnd) {
  std::string key = lineEnd;
  key += "wb04";
  for (int i = 0; i < 16; ++i) key += "5A";
  return key;
}

TEST_F(RfidKeyTextTest, AReadWithALineEndInItsKeyWritesNothingAndSendsNoLogin) {
  for (const char *lineEnd : {"\r", "\n", "\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(lineEnd)));
    const Bytes before = block(kFirstDataBlock);
    const std::size_t from = mark();
    char buffer[64] = {};
    const std::string key = smugglingKey(lineEnd);
    // The tag is found; its first data sector cannot be logged in to.
    EXPECT_EQ(ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 16, 0, key.c_str()), 0);
    EXPECT_EQ(block(kFirstDataBlock), before);
    for (const std::string &command : commandsSince(from)) EXPECT_NE(command.front(), 'l') << command;
  }
}

TEST_F(RfidKeyTextTest, AWriteWithALineEndInItsKeyIsRefusedAndLaterCyclesStayInStep) {
  const Bytes data{1, 2, 3, 4};
  int written = -1;
  const std::string key = smugglingKey("\r");
  EXPECT_EQ(WriteRfidData(data.data(), -1, 4, &written, 0, 0, key.c_str()), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(block(kFirstDataBlock), Bytes(16, 0));
  // The next read with the tag's own (empty) key is answered in step.
  char uid[32] = {};
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, uid, sizeof uid, -1, 4, 0, nullptr), 8);
  EXPECT_STREQ(uid, "04A1B2C3");
  EXPECT_EQ(WriteRfidData(data.data(), -1, 4, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 4);
}

}  // namespace
