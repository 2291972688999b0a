// The probing start's failure text when a port cannot be opened: the text
// and code as always, then a line naming the device and the system's reason.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

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
