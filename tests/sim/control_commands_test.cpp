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
                  const_cast<char *>("--module=0"), nullptr};
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
