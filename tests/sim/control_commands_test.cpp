// reader-sim's run-time commands: the parser against a terminal, and the
// executable taking them through its control FIFO.
#include "readersim/control_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "host_port.h"
#include "readersim/tag_text.h"

extern char **environ;

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

TEST(ControlCommands, GoodLinesChangeWhatTheEngineSeesAndBadOnesOnlySayWhy) {
  TerminalConfig config;
  config.engineKind = 3;
  config.moduleKind = 0;
  Terminal terminal(config);
  ControlCommands commands(terminal);
  BarcodeEngine &engine = *terminal.barcodeEngine();

  for (const char *line :
       {"barcode code39:A B", "  BARCODE\tean13:1\r\n", "", "# a comment", "noread", "silence", "steady qr/2:XY"}) {
    CommandResult result = commands.run(line);
    EXPECT_TRUE(result.ok) << line << ": " << result.text;
  }
  EXPECT_EQ(engine.presented(),
            (std::vector<ScanOutcome>{barcodeOf("code39:A B"), barcodeOf("ean13:1"), NoRead{}, Silence{}}));
  EXPECT_EQ(engine.steadyBarcode(), barcodeOf("qr/2:XY"));
  CommandResult status = commands.run("status");
  ASSERT_TRUE(status.ok);
  EXPECT_NE(status.text.find("code39:A B ean13:1 noread silence"), std::string::npos) << status.text;
  std::string help = "\n" + commands.run("help").text;
  for (const char *name : {"barcode", "steady", "noread", "silence", "clear", "status", "help"}) {
    EXPECT_NE(help.find(std::string("\n  ") + name), std::string::npos) << name;
  }

  const std::pair<std::string, std::string> bad[] = {
      {"xyz", "unknown command 'xyz'; try 'help'"},
      {"barcode", "barcode needs SYMBOLOGY:DATA; try 'help'"},
      {"noread now", "noread takes no argument"},
      {"barcode nosuch:1", "unknown symbology 'nosuch'; try 'symbologies'"},
      {"barcode code39", ""},
      {"barcode code39:\\x0", ""},
      {"barcode code39:" + std::string(251, 'x'), ""},  // more than a decode packet holds
      {"steady qr/2:\\x00", ""},
      {std::string("\xFF\x00", 2) + "barcode", ""},
  };
  for (const auto &[line, error] : bad) {
    CommandResult result = commands.run(line);
    EXPECT_FALSE(result.ok) << line;
    EXPECT_EQ(result.text, error.empty() ? result.text : error);
    EXPECT_FALSE(result.text.empty()) << line;
    EXPECT_EQ(result.text.find('\n'), std::string::npos) << line;
  }
  EXPECT_EQ(engine.presented().size(), 4u);  // nothing changed
  EXPECT_TRUE(commands.run("clear").ok);
  EXPECT_TRUE(commands.run("steady off").ok);
  EXPECT_TRUE(engine.presented().empty());
  EXPECT_FALSE(engine.steadyBarcode());

  TerminalConfig noEngine;
  noEngine.engineKind = 0;
  noEngine.moduleKind = 0;
  Terminal bare(noEngine);
  EXPECT_EQ(ControlCommands(bare).run("noread").text, "no barcode engine is fitted");
}

TEST(ControlCommands, TagCommandsFillTheFieldOfEitherModuleKindAndBadLinesOnlySayWhy) {
  for (int kind : {5, 6}) {
    SCOPED_TRACE(kind);
    TerminalConfig config;
    config.engineKind = 0;
    config.moduleKind = kind;
    config.tags = {tagOf("tagit:01020304")};
    Terminal terminal(config);
    ControlCommands commands(terminal);
    RfidModule &module = *terminal.rfidModule();
    ASSERT_EQ(module.tags().size(), 1u);

    CommandResult placed = commands.run("  TAG Place mifare:04a1b2c3:" + std::string(32, 'e') + "01:KEY\r\n");
    ASSERT_TRUE(placed.ok) << placed.text;
    EXPECT_EQ(placed.text, "");
    CommandResult note = commands.run("tag place sr176:D002000000000001");
    ASSERT_TRUE(note.ok) << note.text;
    EXPECT_EQ(note.text, kind == 6 ? "note: a kind-6 module does not see sr176 tags\n" : "");
    ASSERT_EQ(module.tags().size(), 3u);
    EXPECT_EQ(module.tags()[1].sectorKey(2), "KEY");

    EXPECT_EQ(commands.run("tag list").text,
              "tagit:01020304  TagType 8, 8 blocks of 4 bytes\n"
              "mifare:04A1B2C3  TagType 3, 256 blocks of 16 bytes\n"
              "sr176:D002000000000001  TagType 6, 16 blocks of 2 bytes\n");
    std::string shown = commands.run("tag show 04A1B2C3").text;
    EXPECT_NE(shown.find("\n    4  " + std::string(32, 'E') + "\n    5  01" + std::string(30, '0') + "\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\n    7  000000000000FF078069FFFFFFFFFFFF  trailer, key 'KEY'\n"), std::string::npos);
    EXPECT_NE(commands.run("status").text.find("  field: tagit:01020304 mifare:04A1B2C3 sr176:D002000000000001\n"),
              std::string::npos);

    const std::pair<std::string, std::string> bad[] = {
        {"tag", "tag needs place, remove, clear, show, list or families; try 'help'"},
        {"tag xyz", "tag needs place, remove, clear, show, list or families; try 'help'"},
        {"tag place", "tag place needs FAMILY:UID[:DATAHEX[:KEY]]; try 'help'"},
        {"tag place nosuch:01", "unknown tag family 'nosuch'; try 'tag families'"},
        {"tag place mifare:0102", "mifare UIDs are 4 or 10 bytes, not 2"},
        {"tag remove 0G", "a UID is hexadecimal digits, two per byte"},
        {"tag remove 0A0B0C0D", "no tag 0A0B0C0D in the field"},
        {"tag show 0A0B0C0D", "no tag 0A0B0C0D in the field"},
        {"tag clear now", "tag clear takes no argument"},
    };
    for (const auto &[line, error] : bad) EXPECT_EQ(commands.run(line).text, error) << line;
    EXPECT_EQ(module.tags().size(), 3u);  // nothing changed

    EXPECT_TRUE(commands.run("tag remove 04A1B2C3").ok);
    EXPECT_FALSE(module.tag(std::vector<std::uint8_t>{0x04, 0xA1, 0xB2, 0xC3}));
    EXPECT_TRUE(commands.run("tag clear").ok);
    EXPECT_EQ(commands.run("tag list").text, "the field is empty\n");
  }

  TerminalConfig noModule;
  noModule.engineKind = 0;
  noModule.moduleKind = 0;
  Terminal bare(noModule);
  for (const char *line : {"tag place tagit:01020304", "tag list", "tag clear", "tag show 01"}) {
    EXPECT_EQ(ControlCommands(bare).run(line).text, "no RFID module is fitted") << line;
  }
  noModule.tags = {tagOf("tagit:01020304")};
  EXPECT_THROW(Terminal{noModule}, std::invalid_argument);
}

// --- the executable ---------------------------------------------------------------

// Reads from `fd` until `done` holds for what was read, or the time-out.
std::string readUntil(int fd, const std::function<bool(const std::string &)> &done) {
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + kTimeout;
  while (!done(text)) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[256];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

// "export NAME='value'" lines into a map.
std::map<std::string, std::string> exportsOf(const std::string &lines) {
  std::map<std::string, std::string> values;
  std::size_t at = 0;
  while ((at = lines.find("export ", at)) != std::string::npos) {
    std::size_t equals = lines.find('=', at);
    std::size_t end = lines.find('\n', equals);
    std::string value = lines.substr(equals + 1, end - equals - 1);
    if (value.size() >= 2 && value.front() == '\'') value = value.substr(1, value.size() - 2);
    values[lines.substr(at + 7, equals - at - 7)] = value;
    at = end;
  }
  return values;
}

TEST(ReaderSimExecutable, TakesCommandsThroughAPrivateFifoAndRemovesItOnExit) {
  int out[2], err[2];
  ASSERT_EQ(::pipe(out), 0);
  ASSERT_EQ(::pipe(err), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);  // ends at once: must not stop it
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  char *argv[] = {const_cast<char *>(READER_SIM_PATH), const_cast<char *>("--engine=2"),
                  const_cast<char *>("--module=5"), const_cast<char *>("--tag=tagit:01020304"), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, READER_SIM_PATH, &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);

  auto env = exportsOf(readUntil(
      out[0], [](const std::string &t) { return t.find("READER_SIM_CONTROL") != t.npos && t.back() == '\n'; }));
  ASSERT_EQ(env.count("READER_SIM_CONTROL"), 1u);
  const std::string fifo = env["READER_SIM_CONTROL"];
  const std::string directory = fifo.substr(0, fifo.rfind('/'));
  struct stat info {};
  ASSERT_EQ(::stat(directory.c_str(), &info), 0) << directory;
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(info.st_uid, ::getuid());
  ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  HostPort host(env["READER_COM1"], 115200);
  int control = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(control, 0);
  const std::string lines = "xyz\nbarcode code39:HELLO\n";
  ASSERT_EQ(::write(control, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  ::close(control);
  // A scan in case the engine does not trigger itself; either way one decode.
  ASSERT_TRUE(host.write(std::string(30, '\xFF') + "\x1BON\r"));
  EXPECT_EQ(host.readUntil('\r'), "A000HELLO\r");
  const std::string error = "reader-sim: unknown command 'xyz'; try 'help'\n";
  EXPECT_EQ(readUntil(err[0], [&](const std::string &t) { return t.find(error) != t.npos; }), error);
  HostPort module(env["READER_COM2"], 9600);  // the tag of --tag is in the field
  ASSERT_TRUE(module.write("s"));
  EXPECT_EQ(module.readUntil('\n'), "T01020304\r\n");

  ASSERT_EQ(::kill(child, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(::stat(directory.c_str(), &info), 0);
  EXPECT_EQ(errno, ENOENT);
  ::close(out[0]);
  ::close(err[0]);
}

}  // namespace
}  // namespace readersim
