// ReadRfidData takes its buffer size unsigned: a size beyond the int range
// must still count as large (the whole text and its NUL), never as negative.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "support/test_terminal.h"

using namespace testing_support;

namespace {

TEST(RfidBufferSize, SizesBeyondTheIntRangeReceiveTheWholeUid) {
  clearReaderEnvironment();
  readersim::TerminalConfig config = quickConfig(0, 5);
  config.tags.push_back(readersim::tagOf("icode:E00401A2B3C4D5E6"));
  std::unique_ptr<readersim::Terminal> terminal = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  for (unsigned int size : {0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    char buffer[64];
    std::memset(buffer, 0x7E, sizeof buffer);
    const int n = ReadRfidData(READER_RFID_READ_UID, buffer, size, -1, 1, 0, nullptr);
    ASSERT_GT(n, 0);
    ASSERT_LT(n, static_cast<int>(sizeof buffer));
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_NE(std::string(buffer).find("E00401A2B3C4D5E6"), std::string::npos) << buffer;
    EXPECT_EQ(buffer[n + 1], 0x7E) << "nothing written past the terminator";
  }
  HaltReader(READER_DEVICE_ALL);
}

}  // namespace
