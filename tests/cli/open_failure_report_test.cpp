// readerctl when a port cannot be opened: the start's failure once, then a
// line for each port with its device and the system's reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/readerctl_process.h"
#include "support/test_terminal.h"

namespace {

using namespace testing_support;
using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::readerctl;

constexpr const char *kStartFailed = "readerctl: start failed: no device could be opened\n";
constexpr const char *kNoModulePort = "readerctl: cannot open COM2: READER_COM2 is not set\n";

TEST(ReaderctlOpenFailure, NamesThePathAndTheReasonOfEachPort) {
  clearReaderEnvironment();
  char file[] = "/tmp/reader-not-a-port-XXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/nonexistent/ttyUSB7", "no such device (errno 2)"},
      {file, "not a serial line (errno 25)"},
      {"/tmp", "not a serial line (a directory) (errno 21)"},
      {"/dev/null", "not a serial line (errno 25)"},
  };
  for (const auto &[path, reason] : cases) {
    setenv("READER_COM1", path.c_str(), 1);
    const CliRun run = readerctl({"info"});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_EQ(run.err, std::string(kStartFailed) + "readerctl: cannot open COM1: " + path +
                           " (READER_COM1): " + reason + "\n" + kNoModulePort);
  }
  ::unlink(file);

  // The other commands say the same after their own start line.
  setenv("READER_COM1", "/nonexistent/ttyUSB7", 1);
  const CliRun scan = readerctl({"scan"});
  EXPECT_EQ(scan.status, 1);
  EXPECT_EQ(scan.err,
            "readerctl: start failed: result -102 (no device could be opened)\n"
            "readerctl: cannot open COM1: /nonexistent/ttyUSB7 (READER_COM1): no such device (errno 2)\n" +
                std::string(kNoModulePort));
}

TEST(ReaderctlOpenFailure, APortItMayNotOpenIsAPermissionProblem) {
  // Root opens anything; the user "nobody" runs readerctl instead, on a
  // terminal only root may open.
  clearReaderEnvironment();
  auto terminal = startTerminal(quickConfig(3, 0));
  const std::string enginePath = std::getenv("READER_COM1");
  ASSERT_EQ(::chmod(enginePath.c_str(), 0600), 0);
  const cli_testing::ProcessRun run = cli_testing::runReaderctlProcess({"info"}, 65534u);
  ASSERT_TRUE(run.finished) << run.err;
  if (run.status == 126 || run.status == 127) GTEST_SKIP() << "cannot run readerctl as an unprivileged user here";
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(
      has(run.err, "readerctl: cannot open COM1: " + enginePath + " (READER_COM1): permission denied (errno 13)\n"))
      << run.err;
}

}  // namespace
