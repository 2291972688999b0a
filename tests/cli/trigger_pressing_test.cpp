// Who presses the trigger for scan, watch and tag watch. readerctl presses
// it on the built-in simulated terminal and wherever nothing reads the
// terminal's own keys; with real devices and a trigger configured (in the
// environment or in the configuration file) it waits for the user's press,
// says so once, and --press / --no-press override. Whole command lines run
// in this process against simulators on pseudo-terminals, and the
// executable itself against a configuration file.
#include "trigger_pressing.h"

#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <readersim/ssi_packet.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <variant>
#include <vector>

#include "cli/cli_run.h"
#include "cli/readerctl_process.h"
#include "support/test_terminal.h"
#include "terminal_config_file.h"

namespace {

using namespace std::chrono_literals;
using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::linesOf;
using cli_testing::parsedInvocation;
using cli_testing::readerctl;
using cli_testing::operator+;
using readerctl::TriggerPressing;
using testing_support::quickConfig;
using testing_support::receivedFrames;
using testing_support::startTerminal;
using Args = std::vector<std::string>;

const std::string kWaitNote =
    "readerctl: waiting for the trigger key (press it on the terminal; --press presses it for you)\n";
// A trigger device no test machine has: the library, if it reads it, finds
// nothing and reports it; readerctl only sees that one is configured.
constexpr const char *kAbsentDevice = "/nonexistent/reader-trigger-test";

// The variables these tests set, as they were, put back at the end; the
// display removed so that a library reading READER_TRIGGER_X11 grabs no key
// on a developer's desktop.
class EnvironmentGuard {
 public:
  EnvironmentGuard() {
    for (const char *name : kNames) {
      if (const char *value = std::getenv(name)) saved_[name] = value;
      ::unsetenv(name);
    }
  }
  ~EnvironmentGuard() {
    for (const char *name : kNames) {
      const auto found = saved_.find(name);
      if (found != saved_.end()) {
        ::setenv(name, found->second.c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  EnvironmentGuard(const EnvironmentGuard &) = delete;
  EnvironmentGuard &operator=(const EnvironmentGuard &) = delete;

 private:
  static constexpr const char *kNames[] = {"READER_CONFIG", "READER_TRIGGER_DEVICE", "READER_TRIGGER_X11", "DISPLAY"};
  std::map<std::string, std::string> saved_;
};

// A file of the test's own, removed at the end.
class TempFile {
 public:
  explicit TempFile(const std::string &text) {
    char name[] = "/tmp/readerctl-config-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// The runs of a test that press come after those that wait: a press ended by
// a decode may leave its key messages queued for this thread, and the next
// run in this process would hear them.
class TriggerPressingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::clearReaderEnvironment();
    // No system file: only what a test writes counts.
    ::setenv("READER_CONFIG", "", 1);
  }
  void TearDown() override { testing_support::clearReaderEnvironment(); }

  // Whether readerctl finds a trigger configured by `file` (its text) and the
  // environment as it is.
  static bool configuredBy(const std::string &file) {
    const TempFile config(file);
    ::setenv("READER_CONFIG", config.path().c_str(), 1);
    const bool configured = readerctl::triggerKeysConfigured();
    ::setenv("READER_CONFIG", "", 1);
    return configured;
  }

  EnvironmentGuard environment_;
};

bool sentStartDecode(const readersim::Terminal &terminal) {
  const std::vector<testing_support::ReceivedFrame> frames = receivedFrames(*terminal.engine());
  return std::any_of(frames.begin(), frames.end(), [](const testing_support::ReceivedFrame &frame) {
    return testing_support::ssiOpcode(frame) == readersim::ssi::kOpcodeStartDecode;
  });
}

// readerctl ARGS in this process with `stop` set after `span`, as Ctrl-C
// would end a watch that waits for presses nobody makes.
CliRun readerctlStoppedAfter(Args args, std::chrono::milliseconds span) {
  std::ostringstream out, err;
  int status = 0;
  const auto invocation = parsedInvocation(std::move(args), out, err, status);
  if (!invocation) return {status, out.str(), err.str()};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread stopper([&] {
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, span, [&] { return done; })) stop = true;
  });
  status = readerctl::runInvocation(*invocation, out, err, stop);
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  stopper.join();
  return {status, out.str(), err.str()};
}

TEST_F(TriggerPressingTest, ATriggerIsConfiguredByANonEmptyValueWithTheEnvironmentWinning) {
  EXPECT_FALSE(readerctl::triggerKeysConfigured());
  ::setenv("READER_TRIGGER_X11", "F13,F14", 1);
  EXPECT_TRUE(readerctl::triggerKeysConfigured());
  ::setenv("READER_TRIGGER_X11", "", 1);
  EXPECT_FALSE(readerctl::triggerKeysConfigured());
  ::unsetenv("READER_TRIGGER_X11");
  ::setenv("READER_TRIGGER_DEVICE", "name:Trigger keys", 1);
  EXPECT_TRUE(readerctl::triggerKeysConfigured());
  ::unsetenv("READER_TRIGGER_DEVICE");

  // The file's lines, read as the library reads them.
  EXPECT_TRUE(configuredBy("READER_TRIGGER_DEVICE=/dev/input/event3\n"));
  EXPECT_TRUE(configuredBy("  # the trigger\r\n\tREADER_TRIGGER_X11 =  F13  \r\n"));
  EXPECT_TRUE(configuredBy("READER_TRIGGER_X11=\"F13\""));  // no line end
  EXPECT_TRUE(configuredBy("READER_TRIGGER_DEVICE=name:Keys #2\n"));
  EXPECT_FALSE(configuredBy("# READER_TRIGGER_X11=F13\n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=\n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=   \n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=\"\"\n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=F13\nREADER_TRIGGER_X11=\n"));  // the last line counts
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11_OLD=F13\nXREADER_TRIGGER_DEVICE=/dev/input/event3\n"));
  EXPECT_FALSE(configuredBy("reader_trigger_x11=F13\n"));
  // Malformed lines are skipped; the good ones around them still count.
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=\"F13\n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=\"F13\" F14\n"));
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11\n=F13\n"));
  const char junk[] = "\xFF\xFE garbage\n=\n==F13\nREADER_TRIGGER_X11 F13\nREADER_TRIGGER_X11\0=F13\n";
  EXPECT_FALSE(configuredBy(std::string(junk, sizeof junk - 1)));
  EXPECT_TRUE(configuredBy(std::string(junk, sizeof junk - 1) + "READER_TRIGGER_DEVICE=/dev/input/event3\n"));

  // The environment wins, even with an empty value.
  ::setenv("READER_TRIGGER_DEVICE", "", 1);
  EXPECT_FALSE(configuredBy("READER_TRIGGER_DEVICE=/dev/input/event3\n"));
  EXPECT_TRUE(configuredBy("READER_TRIGGER_X11=F13\n"));
  ::unsetenv("READER_TRIGGER_DEVICE");

  // A path that is no readable file holds nothing, and nothing hangs on it.
  for (const std::string &path : {std::string("/nonexistent/reader3100xe.conf"), std::string("/tmp")}) {
    ::setenv("READER_CONFIG", path.c_str(), 1);
    EXPECT_FALSE(readerctl::triggerKeysConfigured()) << path;
  }
  const std::string fifo = ::testing::TempDir() + "readerctl-config-fifo-" + std::to_string(::getpid());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ::setenv("READER_CONFIG", fifo.c_str(), 1);
  EXPECT_FALSE(readerctl::triggerKeysConfigured());
  std::remove(fifo.c_str());
  // A file larger than the library reads is not read by readerctl either.
  EXPECT_FALSE(configuredBy("READER_TRIGGER_X11=F13\n" + std::string(64 * 1024, '#') + "\n"));
}

TEST_F(TriggerPressingTest, PressingFollowsTheChoiceThenTheTerminal) {
  using readerctl::pressesTrigger;
  for (const bool configured : {false, true}) {
    if (configured) ::setenv("READER_TRIGGER_DEVICE", kAbsentDevice, 1);
    for (const bool simulated : {false, true}) {
      EXPECT_TRUE(pressesTrigger(TriggerPressing::always, simulated));
      EXPECT_FALSE(pressesTrigger(TriggerPressing::never, simulated));
      EXPECT_EQ(pressesTrigger(TriggerPressing::automatic, simulated), simulated || !configured)
          << configured << simulated;
    }
  }

  // The words, on each command that presses; the last one counts.
  const std::vector<std::pair<Args, TriggerPressing>> cases = {
      {{"scan"}, TriggerPressing::automatic},
      {{"scan", "--press", "--timeout", "2"}, TriggerPressing::always},
      {{"scan", "--press", "--no-press"}, TriggerPressing::never},
      {{"watch", "--no-press", "--press"}, TriggerPressing::always},
      {{"tag", "watch", "--count", "1", "--no-press"}, TriggerPressing::never},
  };
  for (const auto &[args, expected] : cases) {
    std::ostringstream out, err;
    int status = -1;
    const auto invocation = parsedInvocation(args, out, err, status);
    ASSERT_TRUE(invocation.has_value()) << err.str();
    const TriggerPressing pressing = std::visit(
        [](const auto &request) -> TriggerPressing {
          using Request = std::decay_t<decltype(request)>;
          if constexpr (std::is_same_v<Request, readerctl::ScanRequest> ||
                        std::is_same_v<Request, readerctl::WatchRequest>) {
            return request.pressing;
          } else if constexpr (std::is_same_v<Request, readerctl::TagRequest>) {
            return std::get<readerctl::TagWatchRequest>(request).pressing;
          } else {
            return TriggerPressing::automatic;
          }
        },
        invocation->request);
    EXPECT_EQ(pressing, expected) << args.back();
  }
  // Commands that press nothing take neither word.
  for (const Args &args : {Args{"tag", "read", "--press"}, Args{"info", "--no-press"}, Args{"--press", "scan"}}) {
    const CliRun run = readerctl(args);
    EXPECT_EQ(run.status, 2) << args.front();
  }
}

TEST_F(TriggerPressingTest, TheHelpOfEachCommandThatPressesNamesTheChoice) {
  for (const Args &topic : {Args{"help", "scan"}, Args{"help", "watch"}, Args{"help", "tag", "watch"}}) {
    const CliRun help = readerctl(topic);
    EXPECT_TRUE(has(help.out, " [--press | --no-press]\n") && has(help.out, "\n  --press")) << help.out;
  }
  EXPECT_FALSE(has(readerctl({"help", "tag", "read"}).out, "--press"));
  // Why a scan may wait: the full help names the settings that decide it.
  const CliRun all = readerctl({"--help"});
  EXPECT_TRUE(has(all.out, "READER_TRIGGER_DEVICE") && has(all.out, "READER_TRIGGER_X11") &&
              has(all.out, "READER_CONFIG"))
      << all.out;
}

TEST_F(TriggerPressingTest, WithATriggerConfiguredAScanWaitsForTheUsersPressUnlessToldToPress) {
  readersim::TerminalConfig config = quickConfig(3, 0);
  config.steadyBarcode = readersim::barcodeOf("code39:IN VIEW");
  ::setenv("READER_TRIGGER_DEVICE", kAbsentDevice, 1);
  {
    // Nobody presses: the barcode in view is never scanned, and the engine
    // never asked to.
    auto terminal = startTerminal(config);
    const CliRun waited = readerctl({"scan", "--timeout", "1"});
    EXPECT_EQ(waited.status, 1);
    EXPECT_EQ(waited.out, "");
    EXPECT_EQ(waited.err, kWaitNote + "readerctl: nothing decoded within 1 s\n");
    EXPECT_FALSE(sentStartDecode(*terminal));
  }
  ::unsetenv("READER_TRIGGER_DEVICE");
  {
    // Without a trigger configured readerctl presses, as always.
    auto terminal = startTerminal(config);
    const CliRun pressed = readerctl({"scan"});
    ASSERT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_TRUE(has(pressed.out, "\"IN VIEW\"")) << pressed.out;
    EXPECT_FALSE(has(pressed.err, kWaitNote)) << pressed.err;
  }
  ::setenv("READER_TRIGGER_DEVICE", kAbsentDevice, 1);
  {
    auto terminal = startTerminal(config);
    const CliRun pressed = readerctl({"scan", "--press", "--json"});
    ASSERT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_TRUE(has(pressed.out, "\"data\": \"IN VIEW\"")) << pressed.out;
    EXPECT_EQ(pressed.err, "");
    EXPECT_TRUE(sentStartDecode(*terminal));
  }
}

TEST_F(TriggerPressingTest, AWaitingScanTakesTheDecodeOfThePressTheKeyDriverAnnounces) {
  // What the library's key reader does on the terminal, done by this test:
  // presses and lets up trigger key 1 through the host API until readerctl
  // has its decode (a press before readerctl enabled the key goes unheard).
  readersim::TerminalConfig config = quickConfig(3, 0);
  config.steadyBarcode = readersim::barcodeOf("code128:USER PRESS");
  auto terminal = startTerminal(config);
  ::setenv("READER_TRIGGER_DEVICE", kAbsentDevice, 1);
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread user([&] {
    std::unique_lock lock(mutex);
    for (bool down = true; !done; down = !down) {
      ReaderHostTriggerKey(1, down ? 1 : 0);
      finished.wait_for(lock, down ? 500ms : 100ms, [&] { return done; });
    }
    ReaderHostTriggerKey(1, 0);
  });
  const CliRun run = readerctl({"scan"});
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  user.join();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.out, "\"USER PRESS\"")) << run.out;
  EXPECT_EQ(run.err, kWaitNote);
}

TEST_F(TriggerPressingTest, ASelfTriggeredEngineAndTheSimulatedTerminalAreNotWaitedOn) {
  ::setenv("READER_TRIGGER_X11", "F13", 1);
  {
    // The text engine triggers itself: nobody needs to press.
    readersim::TerminalConfig config = quickConfig(2, 0);
    config.steadyBarcode = readersim::barcodeOf("code39:BY ITSELF");
    auto terminal = startTerminal(config);
    const CliRun run = readerctl({"scan"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, "\"BY ITSELF\"")) << run.out;
    EXPECT_FALSE(has(run.err, kWaitNote)) << run.err;
  }
  testing_support::clearReaderEnvironment();
  // The built-in simulated terminal has no key to press: readerctl presses,
  // unless told not to.
  const Args ssi = {"--engine", "3", "--engine-speed", "115200", "--module", "0", "--barcode", "code39:SIM"};
  const CliRun pressed = readerctl(ssi + Args{"scan"});
  ASSERT_EQ(pressed.status, 0) << pressed.err;
  EXPECT_TRUE(has(pressed.out, "\"SIM\"")) << pressed.out;
  EXPECT_FALSE(has(pressed.err, kWaitNote)) << pressed.err;
  const CliRun waited = readerctl(ssi + Args{"scan", "--no-press", "--timeout", "1"});
  EXPECT_EQ(waited.status, 1);
  EXPECT_TRUE(has(waited.err, kWaitNote + "readerctl: nothing decoded within 1 s\n")) << waited.err;
}

TEST_F(TriggerPressingTest, WatchesWaitForTheUserOnAConfiguredTerminal) {
  readersim::TerminalConfig config = quickConfig(0, 6);
  config.tags = {readersim::parseTag("tagit:A1B2C3D4:41424344").tag.value()};
  const TempFile file("# trigger keys\nREADER_TRIGGER_X11=F13,F14\n");
  ::setenv("READER_CONFIG", file.path().c_str(), 1);
  {
    // Until stopped, no decode: nobody pressed. The note comes once.
    readersim::TerminalConfig engine = quickConfig(3, 0);
    engine.steadyBarcode = readersim::barcodeOf("code39:W");
    auto terminal = startTerminal(engine);
    const CliRun waited = readerctlStoppedAfter({"watch"}, 1500ms);
    EXPECT_EQ(waited.status, 0);
    EXPECT_EQ(waited.out, "");
    EXPECT_EQ(waited.err, kWaitNote);
    EXPECT_FALSE(sentStartDecode(*terminal));
  }
  testing_support::clearReaderEnvironment();
  {
    // The tag watch alike.
    auto terminal = startTerminal(config);
    const CliRun waited = readerctlStoppedAfter({"tag", "watch"}, 1500ms);
    EXPECT_EQ(waited.status, 0);
    EXPECT_EQ(waited.out, "");
    EXPECT_EQ(waited.err, kWaitNote);
  }
  {
    auto terminal = startTerminal(config);
    const CliRun pressed = readerctl({"tag", "watch", "--count", "1", "--press"});
    ASSERT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_TRUE(pressed.out.starts_with("tag 84 'T' (Tag-it)  uid A1B2C3D4")) << pressed.out;
    EXPECT_EQ(pressed.err, "");
  }
}

TEST_F(TriggerPressingTest, TheExecutableReadsTheTriggerFromTheConfigurationFile) {
  // READER_CONFIG=FILE READER_COM1=... readerctl scan: as a user runs it.
  readersim::TerminalConfig config = quickConfig(3, 0);
  config.steadyBarcode = readersim::barcodeOf("code39:FILE");
  const TempFile file("READER_TRIGGER_X11 = F13\n");
  ::setenv("READER_CONFIG", file.path().c_str(), 1);
  auto terminal = startTerminal(config);
  const cli_testing::ProcessRun waited = cli_testing::runReaderctlProcess({"scan", "--timeout", "1"});
  ASSERT_TRUE(waited.finished) << waited.err;
  EXPECT_EQ(waited.status, 1);
  EXPECT_EQ(waited.err, kWaitNote + "readerctl: nothing decoded within 1 s\n");
  EXPECT_FALSE(sentStartDecode(*terminal));

  const cli_testing::ProcessRun pressed = cli_testing::runReaderctlProcess({"scan", "--press"});
  ASSERT_TRUE(pressed.finished) << pressed.err;
  EXPECT_EQ(pressed.status, 0) << pressed.err;
  EXPECT_TRUE(sentStartDecode(*terminal));
}

}  // namespace
