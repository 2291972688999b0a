// The terminal's configuration file: what it supplies, what the environment
// overrides, the lines it refuses, and the problems a start keeps.
#include "platform/posix/terminal_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/engine_line_status.h"
#include "platform/platform_test_support.h"
#include "platform/serial_port.h"
#include "platform/terminal_identity.h"

namespace {

using namespace reader::platform;
using platform_test::ScopedEnv;
using posix::reloadTerminalConfig;
using posix::reportTerminalProblem;
using posix::terminalProblems;
using posix::terminalSetting;

// A scratch directory with a configuration file that READER_CONFIG names;
// the settings the tests use start unset in the environment.
class TerminalConfig : public ::testing::Test {
 protected:
  ~TerminalConfig() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  void SetUp() override { ASSERT_FALSE(dir_.empty()); }

  void write(const std::string &text) { std::ofstream(path_, std::ios::binary | std::ios::trunc) << text; }
  // Writes `text` as the file and reads it.
  void load(const std::string &text) {
    write(text);
    reloadTerminalConfig();
  }

  static std::string makeDirectory() {
    char pattern[] = "/tmp/reader-config-XXXXXX";
    return ::mkdtemp(pattern) != nullptr ? pattern : "";
  }

  const std::string dir_ = makeDirectory();
  const std::string path_ = dir_ + "/reader3100xe.conf";
  ScopedEnv com1_{"READER_COM1", nullptr};
  ScopedEnv com2_{"READER_COM2", nullptr};
  ScopedEnv model_{"READER_MODEL", nullptr};
  ScopedEnv serial_{"READER_SERIAL_NUMBER", nullptr};
  ScopedEnv hardware_{"READER_HW_INFO", nullptr};
  ScopedEnv engine_{"READER_ENGINE_STATUS", nullptr};
  ScopedEnv named_{"READER_CONFIG", path_.c_str()};
};

TEST_F(TerminalConfig, TheFileSuppliesWhatTheEnvironmentLacks) {
  load(
      "# a terminal's settings\n"
      "\n"
      "READER_COM1=/dev/ttyS1\n"
      "   READER_COM2 \t=\t /dev/ttyS2   \n"
      "  # an indented comment\n"
      "READER_MODEL=\"HLM 3100XE  # keeps blanks and '#'\"\n"
      "READER_SERIAL_NUMBER=SN#7\r\n"
      "READER_HW_INFO=\n"
      "READER_KEYMAP=\"\"\n"
      "READER_SOUND_DIR=a=b\n"
      "READER_TRIGGER_X11=F13,F14");  // the last line has no newline
  EXPECT_EQ(terminalProblems(), "");
  EXPECT_EQ(terminalSetting("READER_COM1"), "/dev/ttyS1");
  EXPECT_EQ(terminalSetting("READER_COM2"), "/dev/ttyS2");
  EXPECT_EQ(terminalSetting("READER_MODEL"), "HLM 3100XE  # keeps blanks and '#'");
  EXPECT_EQ(terminalSetting("READER_SERIAL_NUMBER"), "SN#7");
  EXPECT_EQ(terminalSetting("READER_HW_INFO"), "");
  EXPECT_EQ(terminalSetting("READER_KEYMAP"), "");
  EXPECT_EQ(terminalSetting("READER_SOUND_DIR"), "a=b");
  EXPECT_EQ(terminalSetting("READER_TRIGGER_X11"), "F13,F14");
  EXPECT_EQ(terminalSetting("READER_VIBRATOR"), std::nullopt);
  EXPECT_EQ(terminalSetting(nullptr), std::nullopt);

  // The shared queries find the file's values too.
  char text[16] = {};
  ASSERT_TRUE(readModelDescription(text, sizeof text));
  EXPECT_STREQ(text, "HLM 3100XE  # k");
  ASSERT_TRUE(queryDeviceInformation(kInfoSerialNumber, text, sizeof text));
  EXPECT_STREQ(text, "SN#7");
  ASSERT_TRUE(queryDeviceInformation(kInfoFittedHardware, text, sizeof text));
  EXPECT_STREQ(text, "");
}

TEST_F(TerminalConfig, TheEnvironmentWinsEvenWhenEmpty) {
  load("READER_MODEL=from-file\nREADER_COM1=/dev/ttyS1\nREADER_SERIAL_NUMBER=file-serial\n");
  ScopedEnv model("READER_MODEL", "from-environment");
  ScopedEnv com1("READER_COM1", "");
  EXPECT_EQ(terminalSetting("READER_MODEL"), "from-environment");
  EXPECT_EQ(terminalSetting("READER_COM1"), "");  // set, if empty: the file's line is overridden
  EXPECT_EQ(terminalSetting("READER_SERIAL_NUMBER"), "file-serial");
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(SerialPort::lastOpenFailure(1), "READER_COM1 is not set");
}

TEST_F(TerminalConfig, MalformedLinesAreReportedAndTheRestIsRead) {
  load(
      "READER_COM1\n"                                     // 1
      "=/dev/ttyS1\n"                                     // 2
      "reader_com1=/dev/ttyS1\n"                          // 3
      "READER COM1=/dev/ttyS1\n"                          // 4
      "export READER_COM1=/dev/ttyS1\n"                   // 5
      "READER-COM1=/dev/ttyS1\n"                          // 6
      "READER_MODEL=\"unterminated\n"                     // 7
      "READER_MODEL=\"one\" two\n"                        // 8
      "READER_COM2=/dev/first\n"                          // 9
      "READER_HW_INFO=3 1\n"                              // 10
      "READER_COM2=/dev/second\n"                         // 11
      "K\xC3\xA9\x01=x\n"                                 // 12
      + std::string("READER_SERIAL_NUMBER=a\0b\n", 25) +  // 13
      "READER_TRIGGER1_KEY=KEY_F13\n");                   // 14
  const std::string at = path_ + " line ";
  EXPECT_EQ(
      terminalProblems(),
      at + "1: no '=' (KEY=VALUE expected); line ignored\r\n" + at + "2: no name before '='; line ignored\r\n" + at +
          "3: \"reader_com1\" is no setting name (capital letters, digits and '_' only); line ignored\r\n" + at +
          "4: \"READER COM1\" is no setting name (capital letters, digits and '_' only); line ignored\r\n" + at +
          "5: \"export READER_COM1\" is no setting name (capital letters, digits and '_' only); line ignored\r\n" + at +
          "6: \"READER-COM1\" is no setting name (capital letters, digits and '_' only); line ignored\r\n" + at +
          "7: no closing '\"'; line ignored\r\n" + at + "8: text after the closing '\"'; line ignored\r\n" + at +
          "11: READER_COM2 again (also on line 9); this line counts\r\n" + at +
          "12: \"K???\" is no setting name (capital letters, digits and '_' only); line ignored\r\n" + at +
          "13: a NUL character; line ignored\r\n");
  EXPECT_EQ(terminalSetting("READER_COM1"), std::nullopt);
  EXPECT_EQ(terminalSetting("READER_MODEL"), std::nullopt);
  EXPECT_EQ(terminalSetting("READER_SERIAL_NUMBER"), std::nullopt);
  EXPECT_EQ(terminalSetting("READER_COM2"), "/dev/second");
  EXPECT_EQ(terminalSetting("READER_HW_INFO"), "3 1");
  EXPECT_EQ(terminalSetting("READER_TRIGGER1_KEY"), "KEY_F13");
}

TEST_F(TerminalConfig, AReloadReadsTheFileAgainAndStartsAFreshListOfProblems) {
  load("READER_MODEL=first\nbroken\n");
  EXPECT_EQ(terminalProblems(), path_ + " line 2: no '=' (KEY=VALUE expected); line ignored\r\n");
  reportTerminalProblem("trigger: no such device");
  reportTerminalProblem("trigger: no such device");  // once per start
  EXPECT_EQ(terminalProblems(),
            path_ + " line 2: no '=' (KEY=VALUE expected); line ignored\r\n" + "trigger: no such device\r\n");

  load("READER_COM1=/dev/ttyS0\n");
  EXPECT_EQ(terminalProblems(), "");
  EXPECT_EQ(terminalSetting("READER_MODEL"), std::nullopt);  // gone from the file: gone
  EXPECT_EQ(terminalSetting("READER_COM1"), "/dev/ttyS0");
  reportTerminalProblem("trigger: no such device");  // a new start reports it again
  EXPECT_EQ(terminalProblems(), "trigger: no such device\r\n");

  write("READER_COM1=/dev/ttyS9\n");  // read at the next start only
  EXPECT_EQ(terminalSetting("READER_COM1"), "/dev/ttyS0");
}

TEST_F(TerminalConfig, AFileThatCannotBeReadIsOneProblemAndAMissingOneNone) {
  {
    ScopedEnv missing("READER_CONFIG", (dir_ + "/absent.conf").c_str());
    reloadTerminalConfig();
    EXPECT_EQ(terminalProblems(), "");
    EXPECT_EQ(terminalSetting("READER_COM1"), std::nullopt);
  }
  {
    ScopedEnv none("READER_CONFIG", "");  // no file at all
    reloadTerminalConfig();
    EXPECT_EQ(terminalProblems(), "");
  }
  {
    ScopedEnv directory("READER_CONFIG", dir_.c_str());
    reloadTerminalConfig();
    EXPECT_EQ(terminalProblems(), dir_ + ": not a regular file\r\n");
  }
  {
    // A FIFO with no writer would block an ordinary open for ever.
    const std::string fifo = dir_ + "/fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ScopedEnv named("READER_CONFIG", fifo.c_str());
    reloadTerminalConfig();
    EXPECT_EQ(terminalProblems(), fifo + ": not a regular file\r\n");
  }
  {
    ScopedEnv through("READER_CONFIG", (path_ + "/below").c_str());
    write("READER_COM1=/dev/ttyS0\n");
    reloadTerminalConfig();
    EXPECT_EQ(terminalProblems(), path_ + "/below: Not a directory (errno 20)\r\n");
  }
  load("READER_MODEL=" + std::string(70 * 1024, 'x') + "\nREADER_COM1=/dev/ttyS0\n");
  EXPECT_EQ(terminalProblems(), path_ + ": larger than 65536 bytes; not read\r\n");
  EXPECT_EQ(terminalSetting("READER_COM1"), std::nullopt);
}

TEST_F(TerminalConfig, ProblemsAreTracedOnceAndTheListIsBounded) {
  ScopedEnv trace("READER_TRACE", "1");  // read at the first traceEnabled(): this process
  std::vector<std::string> lines;
  ReaderHostSetOutputListener(
      [](const ReaderOutput *output, void *context) {
        if (output->kind == READER_OUTPUT_TRACE)
          static_cast<std::vector<std::string> *>(context)->push_back(output->text);
      },
      &lines);
  load("bad line\n");
  reportTerminalProblem("vibrator: no such file");
  reportTerminalProblem("vibrator: no such file");
  reportTerminalProblem("");  // nothing to report
  EXPECT_EQ(lines, (std::vector<std::string>{path_ + " line 1: no '=' (KEY=VALUE expected); line ignored",
                                             "vibrator: no such file"}));

  reloadTerminalConfig();  // the same problems of a new start are traced again
  reportTerminalProblem("vibrator: no such file");
  EXPECT_EQ(lines.size(), 4u);

  lines.clear();
  load("");
  for (int i = 0; i < 40; ++i) reportTerminalProblem("keyboard: cannot type U+" + std::to_string(1000 + i));
  ReaderHostSetOutputListener(nullptr, nullptr);
  const std::string problems = terminalProblems();
  std::size_t count = 0;
  for (std::size_t at = problems.find("\r\n"); at != std::string::npos; at = problems.find("\r\n", at + 2)) ++count;
  EXPECT_EQ(count, 33u);
  EXPECT_TRUE(problems.ends_with("U+1031\r\n(further problems not listed)\r\n")) << problems;
  EXPECT_EQ(lines.size(), 33u);
}

TEST_F(TerminalConfig, APortFromTheFileOpensAndItsFailureNamesTheFile) {
  platform_test::Pty pty;
  ASSERT_TRUE(pty.ok());
  load("READER_COM1=" + pty.slavePath() + "\nREADER_COM2=\"/nonexistent/ttyMODULE\"\n");
  ErrorCode error = 0;
  std::shared_ptr<SerialPort> port = SerialPort::open(1, error);
  ASSERT_NE(port, nullptr) << error;
  EXPECT_EQ(SerialPort::lastOpenFailure(1), "");
  port->close();

  EXPECT_EQ(SerialPort::open(2, error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(SerialPort::lastOpenFailure(2),
            "/nonexistent/ttyMODULE (READER_COM2 in " + path_ + "): no such device (errno 2)");

  ScopedEnv environment("READER_COM2", "/nonexistent/ttyOTHER");  // the environment's text stays as it was
  EXPECT_EQ(SerialPort::open(2, error), nullptr);
  EXPECT_EQ(SerialPort::lastOpenFailure(2), "/nonexistent/ttyOTHER (READER_COM2): no such device (errno 2)");
}

TEST_F(TerminalConfig, AnEngineStatusSourceOfNoKnownFormInTheFileIsAProblemOfTheStart) {
  load("READER_ENGINE_STATUS=sideways\n");
  std::uint32_t status = 7;
  EXPECT_FALSE(queryEngineLineStatus(nullptr, status));
  EXPECT_EQ(status, 7u);
  EXPECT_EQ(terminalProblems(), "READER_ENGINE_STATUS in " + path_ +
                                    ": \"sideways\" is no status source (cts, dsr, dcd, cd, ri or gpio:CHIP:LINE, "
                                    "optionally after !); the fixed waits apply\r\n");
}

// Readers on other threads see the old file or the new one, never a mixture
// or a freed one, while reloads replace it (run under ThreadSanitizer too).
TEST_F(TerminalConfig, SettingsCanBeReadWhileTheFileIsReloaded) {
  const std::string first = dir_ + "/first";
  const std::string second = dir_ + "/second";
  std::ofstream(first) << "READER_COM1=/dev/one\nREADER_MODEL=one\nbroken one\n";
  std::ofstream(second) << "READER_COM1=/dev/two\nREADER_MODEL=two\nbroken two\n";
  std::filesystem::copy_file(first, path_);
  reloadTerminalConfig();

  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const std::optional<std::string> model = terminalSetting("READER_MODEL");
        const std::optional<std::string> com1 = terminalSetting("READER_COM1");
        if (model != "one" && model != "two") ++wrong;
        if (com1 != "/dev/one" && com1 != "/dev/two") ++wrong;
        reportTerminalProblem("reader thread");
        static_cast<void>(terminalProblems());
      }
    });
  }
  // Reloading swaps the file while the readers run; READER_CONFIG stays put
  // (the environment is not safe to change under other threads' getenv).
  for (int round = 0; round < 200; ++round) {
    std::filesystem::copy_file(round % 2 == 0 ? second : first, path_ + ".next",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(path_ + ".next", path_);
    reloadTerminalConfig();
  }
  stop = true;
  for (std::thread &reader : readers) reader.join();
  EXPECT_EQ(wrong.load(), 0);
  const std::string problems = terminalProblems();
  EXPECT_TRUE(problems.find(" line 3: no '='") != std::string::npos) << problems;
}

}  // namespace
