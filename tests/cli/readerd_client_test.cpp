// readerctl through a readerd that owns the reader (READERD_SOCKET): the
// same output as readerctl's own run on the same terminal, and a readerd
// that is not there is one line and exit status 1.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "cli/readerctl_process.h"
#include "readerd/served_reader.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::OutputRun;
using cli_testing::runReaderctlOutput;
using readersim::barcodeOf;
using Args = std::vector<std::string>;

// The text engine's configuration byte whose upper four bits are its
// trigger mode.
constexpr std::size_t kTriggerModeByte = 20;

OutputRun run(const Args &args) { return runReaderctlOutput(args, {}); }

std::string replaced(std::string text, const std::string &from, const std::string &to) {
  if (const std::size_t at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class ReaderdClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::clearReaderEnvironment();
    ::unsetenv("READERD_SOCKET");
    readersim::TerminalConfig config = testing_support::quickConfig(2, 6);
    // Triggered by the key, so that each run scans when it presses.
    config.textEngine.block[kTriggerModeByte] &= 0x0F;
    config.tags.push_back(readersim::tagOf("tagit:A1B2C3D4:48656C6C6F"));
    terminal_ = testing_support::startTerminal(config);
  }
  void TearDown() override {
    ::unsetenv("READERD_SOCKET");
    testing_support::clearReaderEnvironment();
  }

  std::unique_ptr<readersim::Terminal> terminal_;
};

TEST_F(ReaderdClientTest, PrintsWhatItPrintsWhenItOwnsTheReader) {
  const std::vector<Args> commands = {
      {"info", "--json"}, {"settings", "set", "k2.group10.p6=5", "--json"}, {"settings", "get", "--json"},
      {"scan", "--json"}, {"tag", "read", "--json", "--length", "5"},       {"tag", "read"}};
  // First readerctl on its own, then through readerd on the same terminal.
  std::vector<OutputRun> own;
  for (const Args &command : commands) {
    if (command.front() == "scan") {
      ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code128:ABC 1")));
    }
    own.push_back(run(command));
    ASSERT_EQ(own.back().status, 0) << own.back().err;
  }
  readerd_testing::ServedReader served;
  ASSERT_TRUE(served.listening()) << served.error();
  ::setenv("READERD_SOCKET", served.path().c_str(), 1);
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (commands[i].front() == "scan") {
      ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code128:ABC 1")));
    }
    const OutputRun served = run(commands[i]);
    EXPECT_EQ(served.status, 0) << served.err;
    std::string expected = own[i].out;
    // readerd enables the trigger keys for its clients; readerctl's own run
    // has not yet when it reports them.
    if (commands[i].front() == "info")
      expected = replaced(expected, "\"trigger_keys\": false", "\"trigger_keys\": true");
    EXPECT_EQ(served.out, expected) << commands[i].front();
  }

  // A field set through readerd is what the next readerctl reads (an option
  // of the library, which lives as long as readerd does).
  EXPECT_EQ(run({"settings", "set", "prefix=Q"}).out, "prefix=Q\n");
  EXPECT_NE(run({"settings", "get"}).out.find("\nprefix=Q\n"), std::string::npos);
  // Options of the simulated terminal do not go with readerd.
  const OutputRun simulated = run({"--engine", "3", "info"});
  EXPECT_EQ(simulated.status, 2);
  EXPECT_NE(simulated.err.find("readerd serves the reader"), std::string::npos) << simulated.err;
  // --readerd '' has readerctl own the reader: here it is readerd's, busy.
  EXPECT_EQ(run({"--readerd", "", "info"}).status, 1);
}

TEST_F(ReaderdClientTest, AReaderdThatIsNotThereIsOneLineAndExitStatusOne) {
  readerd_testing::ServedReader gone;
  ASSERT_TRUE(gone.listening()) << gone.error();
  const std::string path = gone.directory() + "/none.sock";
  for (const Args &args : {Args{"--readerd", path, "info"}, Args{"--readerd=" + path, "tag", "read", "--json"}}) {
    const OutputRun failed = run(args);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "readerctl: cannot reach readerd at " + path + ": No such file or directory\n");
  }
}

}  // namespace
