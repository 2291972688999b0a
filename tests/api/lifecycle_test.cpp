// Starting, halting and restarting the reader through the exported API: every
// start result, the threads each start leaves running, and what HaltReader,
// InitReader and InitReaderEx do after one another.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <thread>

#include "support/test_terminal.h"

using namespace testing_support;
using readersim::TerminalConfig;

namespace {

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  // Starts a simulated terminal; the threads running from then on (the
  // simulator's, a sanitizer's) are the baseline of libraryThreads().
  void start(const TerminalConfig &config) {
    terminal_ = startTerminal(config);
    baseThreads_ = threadCount();
  }
  int libraryThreads() const { return threadCount() - baseThreads_; }

  std::unique_ptr<readersim::Terminal> terminal_;
  int baseThreads_ = 0;
};

int eventState(const char *name) { return ReaderHostWaitEvent(name, 0); }

}  // namespace

TEST_F(LifecycleTest, BothDevicesStartEveryThreadOnceAndASecondStartIsRefused) {
  start(quickConfig(2, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE | READER_TYPE_HEX_MODULE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_ALL);
  // Barcode scan, auto-scan (text engine), RFID read, vibrate, feedback, and
  // the hex-frame module's idle-close thread.
  EXPECT_EQ(libraryThreads(), 6);
  EXPECT_EQ(eventState("DecodeEventBC"), 0);
  EXPECT_EQ(eventState("DecodeEventRFID"), 0);

  const std::size_t framesBefore = receivedFrames(*terminal_->engine()).size();
  EXPECT_EQ(InitReader(), READER_ERR_ALREADY_STARTED);
  EXPECT_EQ(libraryThreads(), 6);
  EXPECT_EQ(receivedFrames(*terminal_->engine()).size(), framesBefore);  // nothing sent
}

TEST_F(LifecycleTest, ModuleOnlyTerminalStartsOnlyTheRfidAndFeedbackThreads) {
  TerminalConfig config = quickConfig(0, 6);
  start(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(libraryThreads(), 4);  // RFID read, vibrate, feedback, idle close
}

TEST_F(LifecycleTest, SilentEngineGivesBarcodeFailedWhileTheModuleWorks) {
  start(quickConfig(2, 6));
  terminal_->engine()->setSilent(true);
  EXPECT_EQ(InitReader(), READER_ERR_BARCODE_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_RFID);
  // No barcode threads: RFID read, vibrate, feedback, idle close.
  EXPECT_EQ(libraryThreads(), 4);
  // The engine's port was closed again.
  EXPECT_TRUE(terminal_->engine()->waitForHostCloseCount(1, kPatience));
}

TEST_F(LifecycleTest, SilentModuleGivesRfidFailedWhileTheEngineWorks) {
  start(quickConfig(2, 6));
  terminal_->module()->setSilent(true);
  EXPECT_EQ(InitReader(), READER_ERR_RFID_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_BARCODE);
  EXPECT_EQ(libraryThreads(), 4);  // scan, auto-scan, vibrate, feedback
}

TEST_F(LifecycleTest, BothSilentOrNothingFittedIsAFailedStart) {
  start(quickConfig(2, 6));
  terminal_->engine()->setSilent(true);
  terminal_->module()->setSilent(true);
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  EXPECT_EQ(GetReaderType(), 0);
  EXPECT_EQ(HaltReader(READER_DEVICE_ALL), READER_ERR_NO_DEVICE);

  TerminalConfig none = quickConfig(2, 6);
  none.hardwareInfo = readersim::IdentityText::given("0-0");
  start(none);
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  EXPECT_TRUE(receivedFrames(*terminal_->engine()).empty());
  EXPECT_TRUE(receivedFrames(*terminal_->module()).empty());

  clearReaderEnvironment();  // no ports at all
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  EXPECT_EQ(InitReaderEx(), READER_ERR_START_FAILED);
}

TEST_F(LifecycleTest, HexModuleThatCannotBeSetUpIsClosedAgainAndCanBeStartedLater) {
  start(quickConfig(0, 6));
  auto *module = terminal_->hexModule();
  module->silenceFrame(readersim::HexModule::kSetupFrame1);
  EXPECT_EQ(InitReader(), READER_ERR_RFID_FAILED);
  // Closed again: the port, and the idle-close thread (only the vibrate and
  // feedback threads run).
  EXPECT_TRUE(module->waitForHostCloseCount(1, kPatience));
  EXPECT_FALSE(module->hostOpen());
  EXPECT_EQ(libraryThreads(), 2);
  EXPECT_EQ(GetReaderType(), 0);

  // Once the module answers, a new start opens it: nothing was left open
  // that would make it "already started".
  module->clearFrameSilences();
  EXPECT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  const auto frames = module->frames();
  EXPECT_EQ(std::count(frames.begin(), frames.end(), std::string(readersim::HexModule::kSetupFrame2)), 1);
}

TEST_F(LifecycleTest, SecondSetUpFrameFailureIsRetriedWithoutTheFirst) {
  start(quickConfig(2, 6));
  auto *module = terminal_->hexModule();
  module->silenceFrame(readersim::HexModule::kSetupFrame2, 3);  // all three attempts
  EXPECT_EQ(InitReader(), READER_ERR_RFID_FAILED);
  EXPECT_TRUE(module->waitForHostCloseCount(1, kPatience));
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), READER_OK);
  ASSERT_EQ(InitReader(), READER_OK);
  const auto frames = module->frames();
  EXPECT_EQ(std::count(frames.begin(), frames.end(), std::string(readersim::HexModule::kSetupFrame1)), 1);
  EXPECT_EQ(std::count(frames.begin(), frames.end(), std::string(readersim::HexModule::kSetupFrame2)), 4);
}

TEST_F(LifecycleTest, HaltAndRestartOfTheOnlyDeviceReusesItsThreads) {
  start(quickConfig(2, 0));
  ASSERT_EQ(InitReader(), READER_OK);
  const int threads = libraryThreads();
  EXPECT_EQ(threads, 4);

  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), READER_OK);
  EXPECT_TRUE(terminal_->engine()->waitForHostCloseCount(1, kPatience));
  EXPECT_EQ(GetReaderType(), 0);
  EXPECT_EQ(eventState("DecodeEventBC"), -1);
  EXPECT_EQ(eventState("DecodeEventRFID"), 0);  // its device was never there, its event is
  EXPECT_EQ(HaltReader(READER_DEVICE_BARCODE), READER_ERR_NO_DEVICE);

  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  EXPECT_EQ(eventState("DecodeEventBC"), 0);
  EXPECT_EQ(libraryThreads(), threads);
  EXPECT_TRUE(terminal_->engine()->waitForHostOpenCount(2, kPatience));
}

TEST_F(LifecycleTest, WithBothOpenOnlyTheProbingStartReopensAHaltedEngine) {
  start(quickConfig(2, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  const int threads = libraryThreads();

  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(eventState("DecodeEventBC"), -1);
  // The module's port is still open: InitReader refuses, but recreates the
  // event.
  EXPECT_EQ(InitReader(), READER_ERR_ALREADY_STARTED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(eventState("DecodeEventBC"), 0);

  const std::size_t moduleFrames = receivedFrames(*terminal_->module()).size();
  ASSERT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE | READER_TYPE_HEX_MODULE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_ALL);
  EXPECT_EQ(receivedFrames(*terminal_->module()).size(), moduleFrames);  // left untouched
  EXPECT_EQ(libraryThreads(), threads);

  // A second probing start with both open opens nothing.
  const std::size_t engineFrames = receivedFrames(*terminal_->engine()).size();
  EXPECT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(receivedFrames(*terminal_->engine()).size(), engineFrames);
}

TEST_F(LifecycleTest, HaltingTheModuleClosesOnlyItsChannelAndEvent) {
  start(quickConfig(2, 6));
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(HaltReader(READER_DEVICE_RFID), READER_OK);
  EXPECT_TRUE(terminal_->module()->waitForHostCloseCount(1, kPatience));
  EXPECT_TRUE(terminal_->engine()->hostOpen());
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  EXPECT_EQ(eventState("DecodeEventRFID"), -1);
  EXPECT_EQ(eventState("DecodeEventBC"), 0);
  EXPECT_EQ(libraryThreads(), 5);  // the idle-close thread has ended
}

TEST_F(LifecycleTest, HexModulePortIsClosedWhenIdleAndReopenedByTheNextStart) {
  start(quickConfig(0, 6));
  readersim::PtyDevice &module = *terminal_->module();
  const auto opened = std::chrono::steady_clock::now();
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_TRUE(module.waitForHostCloseCount(1, 60s));
  EXPECT_GE(std::chrono::steady_clock::now() - opened, 19s);  // closed for idleness, not before
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);         // still the reader's module

  // Nothing is open any more, so a start identifies the module again; the
  // set-up frames went out once and are not sent again.
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_TRUE(module.hostOpen());
  const auto frames = terminal_->hexModule()->frames();
  EXPECT_EQ(std::count(frames.begin(), frames.end(), std::string(readersim::HexModule::kSetupFrame1)), 1);
  EXPECT_EQ(libraryThreads(), 4);  // still one idle-close thread
}

TEST_F(LifecycleTest, AWindowGoesWithTheThreadThatStartedTheReaderAndALaterStartMakesANewOne) {
  start(quickConfig(2, 0));
  std::thread([] { EXPECT_EQ(InitReader(), READER_OK); }).join();
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  ASSERT_EQ(InitReader(), READER_OK);
  // The trigger message reaches a window of this thread.
  ASSERT_EQ(ReaderHostTriggerKey(1, 1), 1);
  EXPECT_GE(ReaderHostDispatch(1000), 1);
  ReaderHostTriggerKey(1, 0);
  ReaderHostDispatch(0);
}
