// readerctl whose reader of standard output goes away (readerctl watch |
// head -1): the command ends as a stop would end it, the reader halted, exit
// status 0; the process is not ended by SIGPIPE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/readerctl_process.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::OutputRun;
using cli_testing::runReaderctlOutput;
using Args = std::vector<std::string>;

// The simulated SSI engine already at its working speed: a quick start.
const Args kSsiEngine = {"--engine", "3", "--engine-speed", "115200", "--module", "0"};

Args operator+(Args a, const Args &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ClosedOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
};

TEST_F(ClosedOutputTest, WatchEndsCleanlyOnceItsReaderHasGone) {
  const OutputRun run = runReaderctlOutput(kSsiEngine + Args{"--steady", "code39:AGAIN", "watch"}, {1, false});
  ASSERT_TRUE(run.finished) << run.err;
  EXPECT_FALSE(run.signalled);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("type 65 'A' (Code 39)  data \"AGAIN\"")) << run.out;
}

TEST_F(ClosedOutputTest, CommandsPrintingOnceEndCleanlyOnAClosedOutput) {
  for (const Args &args : {Args{"info"}, Args{"info", "--json"}, kSsiEngine + Args{"--barcode", "code39:X", "scan"},
                           Args{"--engine", "0", "--tag", "tagit:A1B2C3D4", "tag", "watch", "--json"}}) {
    const OutputRun run = runReaderctlOutput(args, {0, false});
    ASSERT_TRUE(run.finished) << args.back() << ": " << run.err;
    EXPECT_FALSE(run.signalled) << args.back();
    EXPECT_EQ(run.status, 0) << args.back() << ": " << run.err;
  }
}

}  // namespace
