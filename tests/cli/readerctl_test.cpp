// readerctl's scan and watch, and the order in which it checks a command line
// and starts the reader: whole command lines run in this process against the
// built-in simulated terminal, and the executable itself for its signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/test_terminal.h"

extern char **environ;

namespace {

using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::linesOf;
using cli_testing::readerctl;
using cli_testing::operator+;
using testing_support::clearReaderEnvironment;
using testing_support::kPatience;

// The simulated SSI engine already at its working speed: a quick start.
const std::vector<std::string> kSsiEngine = {"--engine", "3", "--engine-speed", "115200", "--module", "0"};

class ReaderctlTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
};

// Kind 2 leaves the factory triggering itself (scan waits for it), kind 3
// needs the trigger pressed: both paths end in the same report.
class ReaderctlScanTest : public ReaderctlTest, public ::testing::WithParamInterface<int> {
 protected:
  std::vector<std::string> engine() const {
    return GetParam() == 2 ? std::vector<std::string>{"--module", "0"} : kSsiEngine;
  }
};

TEST_P(ReaderctlScanTest, PrintsTypeDataAndOutputRecordEscapedOrAsJson) {
  // A quote, a backslash, a tab and a byte above 127.
  const std::vector<std::string> barcode = {"--barcode", R"(code128:q"\\\t\xE9)"};
  const CliRun plain = readerctl(engine() + barcode + std::vector<std::string>{"scan"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out,
            "Decode type:   73 'I' (Code 128)\n"
            "Data:          \"q\\\"\\\\\\t\\xE9\"\n"
            "Output record: \"q\\\"\\\\\\t\\xE9\"\n");

  const CliRun json = readerctl(engine() + barcode + std::vector<std::string>{"scan", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"type_code\": 73, \"type_char\": \"I\", \"type_name\": \"Code 128\", "
            "\"data\": \"q\\\"\\\\\\u0009\\u00e9\", \"output_record\": \"q\\\"\\\\\\u0009\\u00e9\"}\n");
}

TEST_P(ReaderctlScanTest, NothingInViewExitsWithOneAfterTheTimeout) {
  const CliRun run = readerctl(engine() + std::vector<std::string>{"scan", "--timeout", "0.5"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(has(run.err, "readerctl: nothing decoded within 0.5 s\n")) << run.err;
}

INSTANTIATE_TEST_SUITE_P(EngineKinds, ReaderctlScanTest, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

TEST_F(ReaderctlTest, ScanNamesTheTypeAsTheFittedEngineReportsIt) {
  // 'P' is the text engine's UPC-A or EAN-13, the SSI engines' EAN-13 only.
  const std::vector<std::string> barcode = {"--barcode", "ean13:4006381333931", "scan"};
  EXPECT_TRUE(has(readerctl(kSsiEngine + barcode).out, "80 'P' (EAN13)\n"));
  EXPECT_TRUE(has(readerctl(std::vector<std::string>{"--module", "0"} + barcode).out, "80 'P' (UPC-A or EAN-13)\n"));
}

TEST_F(ReaderctlTest, WatchPrintsEveryDecodeInOrderUpToTheCount) {
  const std::vector<std::string> barcodes = {"--barcode", "code39:ONE",   "--barcode", "ean8:12345670",
                                             "--barcode", "code39:THREE", "--barcode", "code39:NOT SHOWN"};
  const CliRun json = readerctl(kSsiEngine + barcodes + std::vector<std::string>{"watch", "--json", "--count", "3"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> lines = linesOf(json.out);
  ASSERT_EQ(lines.size(), 3u) << json.out;
  EXPECT_EQ(lines[0], R"({"type_code": 65, "type_char": "A", "type_name": "Code 39", "data": "ONE", )"
                      R"("output_record": "ONE"})");
  EXPECT_TRUE(has(lines[1], R"("data": "12345670")"));
  EXPECT_TRUE(has(lines[2], R"("data": "THREE")"));

  // The self-triggered engine's decodes come one after another unasked.
  const CliRun text = readerctl(std::vector<std::string>{"--module", "0"} + barcodes +
                                std::vector<std::string>{"watch", "--count", "2"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "type 65 'A' (Code 39)  data \"ONE\"  output record \"ONE\"\n"
            "type 77 'M' (EAN-8)  data \"12345670\"  output record \"12345670\"\n");
}

TEST_F(ReaderctlTest, UsageErrorsAreReportedBeforeAnyTerminalStarts) {
  const std::vector<std::vector<std::string>> bad = {
      {"bogus"},
      {},
      {"--barcode", "nosuch:ABC", "scan"},
      {"--barcode", "code39", "scan"},
      {"--steady", "ssi=300:X", "watch"},
      {"scan", "--timeout", "0"},
      {"scan", "--timeout"},
      {"scan", "--count", "2"},
      {"watch", "--count", "0"},
      {"watch", "--count", "two"},
      {"info", "extra"},
      {"settings", "set", "prefix=elevenchars"},
      {"settings", "set", "no_such_field=1"},
      {"--tag", "nosuch:0102", "tag", "read"},
      {"--tag", "mifare:04A1B2", "tag", "read"},  // 3 bytes: no Mifare UID
      {"--tag", "mifare:04A1B2C3", "--module", "0", "tag", "read"},
      {"tag"},
      {"tag", "read", "--length", "129"},
      {"tag", "read", "--uid", "--start", "4"},
      {"tag", "write", "--start", "0", "--hex", "ABC"},
      {"tag", "write", "--start", "0", "--hex", "0G"},
      {"tag", "write", "--hex", "00"},
      {"tag", "watch", "--count", "0"},
  };
  for (const std::vector<std::string> &args : bad) {
    const CliRun run = readerctl(args);
    const std::string line = ::testing::PrintToString(args);
    EXPECT_EQ(run.status, 2) << line;
    // The problem, the usage line it concerns (a command's sub-commands
    // have one each), where the rest is: not the whole help.
    const std::vector<std::string> lines = linesOf(run.err);
    ASSERT_GE(lines.size(), 3u) << line << ": " << run.err;
    ASSERT_LE(lines.size(), 5u) << line << ": " << run.err;
    EXPECT_TRUE(lines.front().starts_with("readerctl: ")) << lines.front();
    EXPECT_TRUE(lines[1].starts_with("usage: readerctl") || lines[1].starts_with("  --")) << lines[1];
    EXPECT_TRUE(lines.back().starts_with("see 'readerctl help")) << lines.back();
    EXPECT_FALSE(has(run.out + run.err, "Using the built-in simulated terminal")) << line << ": " << run.err;
  }

  // Barcodes the simulated engine cannot take: refused before the reader
  // starts. And real devices have no barcodes or tags to choose.
  const std::vector<std::vector<std::string>> refused = {
      {"--barcode", R"(code39:A\rB)", "scan"},  // no CR in the text engine's data
      {"--engine", "0", "--barcode", "code39:A", "scan"},
  };
  for (const std::vector<std::string> &args : refused) {
    const CliRun run = readerctl(args);
    EXPECT_EQ(run.status, 2) << args[args.size() - 2];
    EXPECT_TRUE(has(run.err, "readerctl: --barcode: ")) << run.err;
    EXPECT_FALSE(has(run.err, "Using the built-in simulated terminal")) << run.err;
  }
  ::setenv("READER_COM1", "/dev/null", 1);
  for (const std::vector<std::string> &args : {std::vector<std::string>{"--barcode", "code39:A", "scan"},
                                               std::vector<std::string>{"--tag", "mifare:04A1B2C3", "tag", "read"}}) {
    const CliRun real = readerctl(args);
    EXPECT_EQ(real.status, 2) << args.front();
    EXPECT_TRUE(has(real.err, "READER_COM1")) << real.err;
  }
}

// Reads from `fd` until a whole line has come (`toTheEnd` false) or the
// input ends; false when the patience ran out first.
bool readFrom(int fd, std::string &text, bool toTheEnd) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (toTheEnd || text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return toTheEnd;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

TEST_F(ReaderctlTest, WatchEndsOnSigtermWithStatusZero) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> args = std::vector<std::string>{READERCTL_PATH} + kSsiEngine +
                                  std::vector<std::string>{"--steady", "code39:AGAIN", "watch"};
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, READERCTL_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);

  std::string text;
  const bool decoded = readFrom(out[0], text, false);
  ::kill(child, SIGTERM);
  EXPECT_TRUE(readFrom(out[0], text, true));
  ::close(out[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(decoded) << text;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (const std::string &line : linesOf(text))
    EXPECT_EQ(line, "type 65 'A' (Code 39)  data \"AGAIN\"  output record \"AGAIN\"");
}

}  // namespace
