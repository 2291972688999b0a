// The probing start's failure text when a port cannot be opened: the text
// and code as always, then a line naming the device and the system's reason.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "api/library.h"
#include "support/test_terminal.h"

using namespace testing_support;

TEST(ProbingStartMessage, NamesTheDeviceAndReasonAfterTheFailureText) {
  clearReaderEnvironment();
  setenv("READER_COM1", "/nonexistent/ttyENGINE", 1);
  setenv("READER_COM2", "/dev/null", 1);
  EXPECT_EQ(InitReaderEx(), READER_ERR_START_FAILED);
  EXPECT_EQ(reader::library().device.initMessage.toString(),
            "The barcode scanner fails, error code = 2\r\n"
            "/nonexistent/ttyENGINE (READER_COM1): no such device (errno 2)\r\n"
            "The RFID scanner fails, error code = 25\r\n"
            "/dev/null (READER_COM2): not a serial line (errno 25)\r\n");
}

// What the terminal's configuration could not do follows the devices' own
// text, and the start goes on: a malformed line and a trigger key without
// its device are reported, and the devices the file names open.
TEST(ProbingStartMessage, EndsWithTheConfigurationsProblemsAndTheStartGoesOn) {
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(2, 0));
  const std::string com1 = getenv("READER_COM1");
  unsetenv("READER_COM1");  // the file names the engine's port
  unsetenv("READER_COM2");
  char path[] = "/tmp/reader-conf-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string text = "READER_COM1=" + com1 + "\nthis is no setting\nREADER_TRIGGER1_KEY=KEY_F13\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  setenv("READER_CONFIG", path, 1);
  EXPECT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  const std::string message = reader::library().device.initMessage.toString();
  EXPECT_NE(message.find(std::string(path) + " line 2: "), std::string::npos) << message;
  EXPECT_NE(message.find("trigger keys are set but READER_TRIGGER_DEVICE is not"), std::string::npos) << message;
  EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
  HaltReader(READER_DEVICE_ALL);
  unsetenv("READER_CONFIG");
  unlink(path);
}
