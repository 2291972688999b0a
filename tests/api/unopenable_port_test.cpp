// Starting with a port that cannot be opened (a wrong path, a file that is
// no serial line): a device the hardware text names is fitted all the same,
// so InitReader reports it as failed, and the trace names the port, its path
// and the system's reason.
#include <3100XE_DLL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "support/test_terminal.h"

using namespace testing_support;
using readersim::TerminalConfig;

namespace {

class StartWithUnopenablePort : public ::testing::Test {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    // Read once, at the library's first look: on for every test here.
    setenv("READER_TRACE", "1", 1);
    ReaderHostSetOutputListener(&StartWithUnopenablePort::onOutput, this);
  }
  void TearDown() override {
    HaltReader(READER_DEVICE_ALL);
    ReaderHostSetOutputListener(nullptr, nullptr);
    if (!regularFile_.empty()) ::unlink(regularFile_.c_str());
  }

  void start(const TerminalConfig &config) { terminal_ = startTerminal(config); }
  // A plain file where a serial device should be.
  std::string regularFile() {
    char name[] = "/tmp/reader-not-a-port-XXXXXX";
    const int fd = ::mkstemp(name);
    EXPECT_GE(fd, 0);
    ::close(fd);
    regularFile_ = name;
    return regularFile_;
  }
  std::vector<std::string> openFailures() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const std::string &line : traceLines_)
      if (line.find("open failed") != std::string::npos) found.push_back(line);
    return found;
  }

  std::unique_ptr<readersim::Terminal> terminal_;

 private:
  static void onOutput(const ReaderOutput *output, void *context) {
    if (output->kind != READER_OUTPUT_TRACE || output->text == nullptr) return;
    auto *self = static_cast<StartWithUnopenablePort *>(context);
    std::lock_guard lock(self->mutex_);
    self->traceLines_.emplace_back(output->text);
  }

  std::mutex mutex_;
  std::vector<std::string> traceLines_;
  std::string regularFile_;
};

}  // namespace

TEST_F(StartWithUnopenablePort, AFittedEngineWhosePortIsMissingHasFailed) {
  start(quickConfig(2, 6));
  setenv("READER_COM1", "/nonexistent/ttyENGINE", 1);
  EXPECT_EQ(InitReader(), READER_ERR_BARCODE_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_RFID);
  EXPECT_EQ(openFailures(), std::vector<std::string>{
                                "COM1 open failed: /nonexistent/ttyENGINE (READER_COM1): no such device (errno 2)"});
}

TEST_F(StartWithUnopenablePort, AFittedModuleWhosePortIsNoSerialLineHasFailed) {
  // Both module kinds, as the model names them.
  for (int moduleKind : {6, 5}) {
    SCOPED_TRACE(moduleKind);
    start(quickConfig(3, moduleKind));
    const std::string file = regularFile();
    setenv("READER_COM2", file.c_str(), 1);
    EXPECT_EQ(InitReader(), READER_ERR_RFID_FAILED);
    EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);
    const std::vector<std::string> failures = openFailures();
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(failures.back(), "COM2 open failed: " + file + " (READER_COM2): not a serial line (errno 25)");
    ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  }
}

TEST_F(StartWithUnopenablePort, BothFittedAndUnopenableIsAFailedStartAndAnUnfittedOneIsNoFailure) {
  start(quickConfig(2, 6));
  setenv("READER_COM1", "/dev/null", 1);
  setenv("READER_COM2", "/nonexistent/ttyMODULE", 1);
  EXPECT_EQ(InitReader(), READER_ERR_START_FAILED);
  EXPECT_EQ(GetReaderType(), 0);

  // No module fitted: its port may be anything.
  TerminalConfig engineOnly = quickConfig(2, 6);
  engineOnly.hardwareInfo = readersim::IdentityText::given("2-0");
  start(engineOnly);
  setenv("READER_COM2", "/nonexistent/ttyMODULE", 1);
  EXPECT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
}

TEST_F(StartWithUnopenablePort, TheProbingStartKeepsItsOwnRules) {
  start(quickConfig(2, 6));
  setenv("READER_COM1", "/nonexistent/ttyENGINE", 1);
  EXPECT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
}
