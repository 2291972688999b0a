// A second process on ports the reader holds: readerctl, run as root as
// these tests are, finds them busy and says so, and the first process's
// engine keeps its speed, its exclusive use and its scans.
#include <3100XE_DLL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "api/scan_host.h"
#include "cli/cli_run.h"
#include "cli/readerctl_process.h"
#include "support/port_claim.h"
#include "support/test_terminal.h"

using namespace testing_support;
using cli_testing::has;

TEST(ReaderctlOnABusyPort, FailsAsBusyWhileTheHolderKeepsItsEngine) {
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(3, 0));
  scan_testing::ScanHost host;
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(SetTriggerKey(1), 1);
  const std::string enginePath = std::getenv("READER_COM1");
  const std::size_t framesBefore = receivedFrames(*terminal->engine()).size();

  const cli_testing::ProcessRun second = cli_testing::runReaderctlProcess({"info"});
  ASSERT_TRUE(second.finished) << second.err;
  EXPECT_EQ(second.status, 1) << second.err;
  EXPECT_TRUE(has(second.err, "readerctl: cannot open COM1: " + enginePath +
                                  " (READER_COM1): busy: another process is using the port (errno 16)\n"))
      << second.err;

  // Nothing reached the engine, its line is as the holder set it, and the
  // holder still has it to itself.
  EXPECT_EQ(receivedFrames(*terminal->engine()).size(), framesBefore);
  EXPECT_EQ(terminal->engine()->hostSpeed(), 115200);
  EXPECT_EQ(exclusiveFlag(enginePath), 1);
  terminal->presentBarcode(readersim::barcodeOf("code39:STILL"));
  ASSERT_TRUE(host.pressUntil([&] { return host.announced() == 1; }));
  EXPECT_EQ(scan_testing::decodeData(), "STILL");
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
}
