// readerctl explaining itself: --version, `help [COMMAND]`, usage errors
// that show the one line concerned, the option spellings it shares with
// reader-sim, and the simulator options refused when real devices are set.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/readerctl_process.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::linesOf;
using cli_testing::parsedInvocation;
using cli_testing::readerctl;
using Args = std::vector<std::string>;

class ReaderctlHelpTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
};

TEST_F(ReaderctlHelpTest, VersionNamesTheProjectVersionThatTheLibraryVersionEncodes) {
  const CliRun run = readerctl({"--version"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(run.out, parts, std::regex(R"(readerctl (\d+)\.(\d+)\.(\d+) \(library (.*)\)\n)")))
      << run.out;
  char library[32] = {};
  GetDllVer(library, sizeof library);
  EXPECT_EQ(parts[4].str(), library);
  // "2.00.0027" is the project's 2.0.27.
  int major = -1, minor = -1, patch = -1;
  ASSERT_EQ(std::sscanf(library, "%d.%d.%d", &major, &minor, &patch), 3) << library;
  EXPECT_EQ(parts[1].str() + "." + parts[2].str() + "." + parts[3].str(),
            std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch));
}

TEST_F(ReaderctlHelpTest, HelpListsEveryCommandOnALineAndShowsEachOnesUsage) {
  const Args commands = {"info", "settings get", "settings set", "settings reset", "settings defaults",
                         "scan", "watch",        "tag read",     "tag write",      "tag watch"};
  const CliRun list = readerctl({"help"});
  ASSERT_EQ(list.status, 0) << list.err;
  for (const std::string &command : commands) {
    EXPECT_TRUE(has(list.out, "\n  " + command + " ")) << command;
    std::vector<std::string> words = {"help"};
    for (std::istringstream in(command); in;) {
      std::string word;
      if (in >> word) words.push_back(word);
    }
    const CliRun one = readerctl(words);
    EXPECT_EQ(one.status, 0) << command;
    EXPECT_TRUE(one.out.starts_with("usage: readerctl [options] " + command)) << one.out;
  }
  // A command with sub-commands shows each of them.
  const CliRun tag = readerctl({"help", "tag"});
  EXPECT_EQ(tag.status, 0);
  for (const char *sub : {"read", "write", "watch"})
    EXPECT_TRUE(has(tag.out, std::string("usage: readerctl [options] tag ") + sub)) << sub;
  EXPECT_TRUE(has(readerctl({"help", "options"}).out, "--hw-info TEXT"));
  // --help still prints all of it.
  const CliRun all = readerctl({"--help"});
  EXPECT_EQ(all.status, 0);
  EXPECT_TRUE(has(all.out, "commands:") && has(all.out, "--engine KIND") && has(all.out, "tag write --start N"));

  for (const Args &unknown : {Args{"help", "nope"}, Args{"help", "tag", "nope"}, Args{"help", "scan", "--json"}}) {
    const CliRun run = readerctl(unknown);
    EXPECT_EQ(run.status, 2) << unknown.back();
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(has(run.err, "see 'readerctl help'")) << run.err;
  }
}

TEST_F(ReaderctlHelpTest, AUsageErrorShowsTheProblemAndTheOneLineItConcerns) {
  // clang-format off
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"scan", "--timeout", "0"},
       "readerctl: scan: --timeout takes seconds above 0, e.g. 5 or 0.5, not '0'\n"
       "usage: readerctl [options] scan [--json] [--timeout SECONDS] [--press | --no-press]\n"
       "see 'readerctl help scan'\n"},
      {{"tag", "read", "--length", "129"},
       "readerctl: tag read: --length takes 1 to 128 bytes, not '129'\n"
       "usage: readerctl [options] tag read [--uid] [--start N] [--length N] [--key K] [--json]\n"
       "see 'readerctl help tag read'\n"},
      {{"settings", "set", "--json"},
       "readerctl: settings: set needs at least one NAME=VALUE\n"
       "usage: readerctl [options] settings set NAME=VALUE... [--json]\n"
       "see 'readerctl help settings set'\n"},
      {{"--engine", "7", "info"},
       "readerctl: --engine: the engine kind is 0 (none), 2, 3 or 4\n"
       "  --engine KIND        barcode engine: 0 none, 2 text commands, 3 or 4 SSI (default 2)\n"
       "see 'readerctl help options'\n"},
      {{"--ex=1", "info"},
       "readerctl: --ex takes no value\n"
       "  --ex                 start with InitReaderEx (probe the device kinds)\n"
       "see 'readerctl help options'\n"},
      {{"frobnicate"},
       "readerctl: unknown command 'frobnicate'\n"
       "usage: readerctl [options] COMMAND [ARGUMENTS]\n"
       "see 'readerctl help'\n"},
  };
  // clang-format on
  for (const auto &[args, expected] : cases) {
    const CliRun run = readerctl(args);
    EXPECT_EQ(run.status, 2) << args.front();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, expected);
  }
  // A sub-command not known: the command's sub-commands.
  const std::vector<std::string> tag = linesOf(readerctl({"tag", "erase"}).err);
  ASSERT_EQ(tag.size(), 5u);
  EXPECT_EQ(tag[4], "see 'readerctl help tag'");
}

TEST_F(ReaderctlHelpTest, TheSimulatorOptionsTakeReaderSimsSpellingsAndTheOldOnes) {
  // clang-format off
  const std::vector<Args> spellings = {
      {"--hw", "7-1", "--pace", "--engine", "3", "--module", "5", "info"},
      {"--hw-info", "7-1", "--pacing", "--engine=3", "--module=5", "info"},
      {"--hw-info=7-1", "--pace", "--engine", "3", "--module=5", "info"},
  };
  // clang-format on
  for (const Args &args : spellings) {
    std::ostringstream out, err;
    int status = -1;
    const auto invocation = parsedInvocation(args, out, err, status);
    ASSERT_TRUE(invocation.has_value()) << err.str();
    EXPECT_EQ(invocation->options.hardwareInfo, "7-1");
    EXPECT_TRUE(invocation->options.pacing);
    EXPECT_EQ(invocation->options.engineKind, 3);
    EXPECT_EQ(invocation->options.moduleKind, 5);
  }
  // Both tools' default terminal: the text engine and the kind-6 module.
  std::ostringstream out, err;
  int status = -1;
  const auto plain = parsedInvocation({"info"}, out, err, status);
  ASSERT_TRUE(plain.has_value());
  EXPECT_EQ(plain->options.engineKind, 2);
  EXPECT_EQ(plain->options.moduleKind, 6);
}

TEST_F(ReaderctlHelpTest, SimulatorOptionsWithRealDevicesAreUsageErrors) {
  // clang-format off
  const std::vector<Args> options = {
      {"--serial", "FOO"}, {"--engine", "3"},        {"--module=5"},          {"--model", "HLM3200XE"},
      {"--hw", "1-0"},     {"--hw-info", "1-0"},     {"--engine-speed", "115200"}, {"--pace"},
      {"--pacing"},        {"--traffic"},            {"--barcode", "code39:A"},    {"--steady", "code39:A"},
      {"--tag", "tagit:A1B2C3D4"},
  };
  // clang-format on
  for (const char *variable : {"READER_COM1", "READER_COM2"}) {
    testing_support::clearReaderEnvironment();
    ::setenv(variable, "/dev/null", 1);
    for (const Args &option : options) {
      Args args = option;
      args.push_back("info");
      const CliRun run = readerctl(args);
      const std::string name = option.front().substr(0, option.front().find('='));
      EXPECT_EQ(run.status, 2) << name;
      EXPECT_EQ(run.out, "") << name;
      EXPECT_TRUE(run.err.starts_with("readerctl: " + name +
                                      " is for the built-in simulated terminal, which is not used: " + variable +
                                      " is set (real devices)\n"))
          << run.err;
    }
  }
  // The executable as a user runs it: READER_COM1=/dev/null readerctl --serial FOO info.
  testing_support::clearReaderEnvironment();
  ::setenv("READER_COM1", "/dev/null", 1);
  const cli_testing::ProcessRun run = cli_testing::runReaderctlProcess({"--serial", "FOO", "info"});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(has(run.err,
                  "readerctl: --serial is for the built-in simulated terminal, which is not used: "
                  "READER_COM1 is set (real devices)\n"))
      << run.err;
}

}  // namespace
