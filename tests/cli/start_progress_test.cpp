// The progress of the start on standard error: shown only on a terminal,
// counted while InitReader runs and wiped when it returns; never mixed into
// the trace, never on a pipe.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/readerctl_process.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::has;
using cli_testing::parsedInvocation;

constexpr const char *kProgress = "\rreaderctl: starting the reader... 0 s";

class StartProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }

  // readerctl ARGS with standard error taken for a terminal or not.
  static std::string errorOf(std::vector<std::string> args, bool terminal, std::string &out) {
    std::ostringstream outStream, err;
    int status = 0;
    std::optional<readerctl::Invocation> invocation = parsedInvocation(std::move(args), outStream, err, status);
    if (!invocation) return "(usage error) " + err.str();
    invocation->stderrIsTerminal = terminal;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(readerctl::runInvocation(*invocation, outStream, err, stop), 0) << err.str();
    out = outStream.str();
    return err.str();
  }
};

TEST_F(StartProgressTest, ATerminalSeesTheLineCountedAndWiped) {
  std::string out;
  const std::string err = errorOf({"info"}, true, out);
  const std::size_t shown = err.find(kProgress);
  ASSERT_NE(shown, std::string::npos) << err;
  // The last thing on the terminal: the line overwritten with blanks.
  const std::string wiped = "\r" + std::string(std::string(kProgress).size() - 1, ' ') + "\r";
  EXPECT_TRUE(err.ends_with(wiped)) << err;
  EXPECT_FALSE(has(out, "starting")) << out;

  // Not on a pipe, and not among the trace's lines.
  EXPECT_FALSE(has(errorOf({"info"}, false, out), "starting the reader"));
  const std::string traced = errorOf({"--trace", "info"}, true, out);
  EXPECT_TRUE(has(traced, "trace: ")) << traced;
  EXPECT_FALSE(has(traced, "starting the reader")) << traced;
}

TEST_F(StartProgressTest, TheExecutableShowsItOnlyWhenStandardErrorIsATerminal) {
  const cli_testing::OutputRun terminal = cli_testing::runReaderctlOutput({"info"}, {std::nullopt, true});
  ASSERT_TRUE(terminal.finished) << terminal.err;
  EXPECT_EQ(terminal.status, 0) << terminal.err;
  EXPECT_TRUE(has(terminal.err, kProgress)) << terminal.err;
  EXPECT_TRUE(terminal.out.starts_with("Library version:")) << terminal.out;

  const cli_testing::OutputRun pipe = cli_testing::runReaderctlOutput({"info"}, {std::nullopt, false});
  ASSERT_TRUE(pipe.finished) << pipe.err;
  EXPECT_EQ(pipe.status, 0) << pipe.err;
  EXPECT_TRUE(has(pipe.err, "Using the built-in simulated terminal")) << pipe.err;
  EXPECT_FALSE(has(pipe.err, "starting the reader")) << pipe.err;
}

}  // namespace
