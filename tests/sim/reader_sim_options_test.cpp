// reader-sim's command line as a user meets it: --version, a usage error in
// a few lines, the default terminal (the one readerctl builds in), and the
// option spellings readerctl used, still taken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

extern char **environ;

namespace {

struct SimRun {
  int status = -1;
  std::string out;
  std::string err;
};

// READER_SIM_PATH ARGS, both outputs read to their end (a --daemon run's
// parent prints the environment and leaves).
SimRun runReaderSim(std::vector<std::string> args) {
  args.insert(args.begin(), READER_SIM_PATH);
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    const int input = ::open("/dev/null", O_RDONLY);
    ::dup2(input, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (const int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    ::execve(READER_SIM_PATH, argv.data(), environ);
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  SimRun run;
  pollfd entries[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string *texts[2] = {&run.out, &run.err};
  for (int open = 2; open > 0 && ::poll(entries, 2, 30'000) > 0;) {
    for (int i = 0; i < 2; ++i) {
      if (entries[i].fd < 0 || entries[i].revents == 0) continue;
      char buffer[512];
      const ssize_t n = ::read(entries[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(entries[i].fd);
        entries[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd &entry : entries) {
    if (entry.fd >= 0) ::close(entry.fd);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

// The value of `export NAME='value'` among the environment lines.
std::string exported(const std::string &lines, const std::string &name) {
  std::smatch match;
  if (!std::regex_search(lines, match, std::regex("export " + name + "='([^']*)'\n"))) return "(none)";
  return match[1].str();
}

// Starts reader-sim --daemon ARGS and stops it again; its environment lines.
std::string daemonEnvironment(std::vector<std::string> args) {
  args.insert(args.begin(), "--daemon");
  const SimRun run = runReaderSim(args);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string pid = exported(run.out, "READER_SIM_PID");
  std::smatch match;
  if (std::regex_search(run.out, match, std::regex("export READER_SIM_PID=([0-9]+)\n")))
    EXPECT_EQ(::kill(static_cast<pid_t>(std::stol(match[1].str())), SIGTERM), 0);
  else
    ADD_FAILURE() << "no READER_SIM_PID in " << run.out;
  return run.out;
}

TEST(ReaderSimOptions, VersionIsTheProjectVersion) {
  const SimRun run = runReaderSim({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_match(run.out, std::regex(R"(reader-sim \d+\.\d+\.\d+\n)"))) << run.out;
}

TEST(ReaderSimOptions, AUsageErrorIsTheProblemAndTheOneLineItConcerns) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--engine"},
       "reader-sim: --engine needs a value\n"
       "  --engine=KIND          scan engine: 0 (none), 2, 3 or 4 [2]\n"
       "see 'reader-sim --help'\n"},
      {{"--speed-answer=X"},
       "reader-sim: --speed-answer must be accept, F or R\n"
       "  --speed-answer=A       kind-5 answer to the speed change: accept, F or R [accept]\n"
       "see 'reader-sim --help'\n"},
      {{"--log=yes"},
       "reader-sim: --log takes no value\n"
       "  --log                  print all traffic to standard error as it happens\n"
       "see 'reader-sim --help'\n"},
      {{"--engine=9"},
       "reader-sim: --engine must be 0, 2, 3 or 4\n"
       "  --engine=KIND          scan engine: 0 (none), 2, 3 or 4 [2]\n"
       "see 'reader-sim --help'\n"},
      {{"--module", "7"},
       "reader-sim: --module must be 0, 5 or 6\n"
       "  --module=KIND          RFID module: 0 (none), 5 or 6 [6]\n"
       "see 'reader-sim --help'\n"},
      {{"--frobnicate"},
       "reader-sim: unknown option --frobnicate\n"
       "usage: reader-sim [OPTION]...\n"
       "see 'reader-sim --help'\n"},
  };
  for (const auto &[args, expected] : cases) {
    const SimRun run = runReaderSim(args);
    EXPECT_EQ(run.status, 2) << args.front();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, expected);
  }
}

TEST(ReaderSimOptions, DefaultsToReaderctlsTerminalAndTakesItsSpellings) {
  // The text engine and the kind-6 module, as readerctl's built-in terminal.
  EXPECT_EQ(exported(daemonEnvironment({}), "READER_HW_INFO"), "2-1");
  // --hw and --pace, as readerctl spelt them, beside --hw-info and --pacing.
  EXPECT_EQ(exported(daemonEnvironment({"--hw", "4-0", "--pace", "--module=0"}), "READER_HW_INFO"), "4-0");
  EXPECT_EQ(exported(daemonEnvironment({"--hw-info=4-0", "--pacing", "--module=0"}), "READER_HW_INFO"), "4-0");
  // "none" leaves an identity unset, as in readerctl; --no-model and
  // --no-serial stay.
  const std::string unset = daemonEnvironment({"--model=none", "--hw-info", "none", "--serial=none"});
  for (const char *name : {"READER_MODEL", "READER_HW_INFO", "READER_SERIAL_NUMBER"}) {
    EXPECT_EQ(exported(unset, name), "(none)") << name;
    EXPECT_NE(unset.find(std::string("unset ") + name + "\n"), std::string::npos) << name;
  }
  EXPECT_EQ(exported(daemonEnvironment({"--no-model", "--no-serial"}), "READER_MODEL"), "(none)");
}

}  // namespace
