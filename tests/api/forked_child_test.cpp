// A host that forks after InitReader (daemon helpers, Python's os.fork): the
// child has the parent's ports but none of its threads. Whatever the child
// does with the library, ending included, it neither hangs nor crashes, and
// it leaves the parent's devices, threads and exclusive claim alone.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "scan_host.h"
#include "support/port_claim.h"
#include "support/test_terminal.h"

using namespace testing_support;
using namespace scan_testing;
using readersim::barcodeOf;

namespace {

constexpr unsigned kChildPatienceSeconds = 20;
constexpr int kHungChild = 99;

// Runs `child` in a forked child, which ends with its result as exit status
// (through exit(), so the library's teardown runs, unless it ends itself).
// A child still running after the patience is killed: the result then says
// so.
int inChild(const std::function<int()> &child) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(kChildPatienceSeconds);
    std::exit(child());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? kHungChild : 1000 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

// The parent's claim on a port, as another process sees it.
struct Claim {
  int exclusive = -1;
  bool locked = false;
};
Claim claimOf(const std::string &path) { return {exclusiveFlag(path), lockedByAnother(path)}; }

class ForkedChildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearReaderEnvironment();
    terminal_ = startTerminal(quickConfig(3, 6));
    ASSERT_FALSE(terminal_->placeTag(readersim::tagOf("philips:E004010203040506")));
    ASSERT_EQ(InitReader(), READER_OK);
    ASSERT_EQ(SetTriggerKey(1), 1);
    ASSERT_TRUE(prepareTriggeredScans(3, 2));
    // The module's idle-close thread runs, and the port is in use.
    readSucceeds();
    before_ = claimOf(terminal_->engine()->portPath());
    EXPECT_EQ(before_.exclusive, 1);
    EXPECT_TRUE(before_.locked);
  }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  void readSucceeds() {
    char uid[32] = {};
    ASSERT_GT(ReadRfidData(READER_RFID_READ_UID, uid, sizeof uid, 0, 4, 0, nullptr), 0);
    EXPECT_NE(std::string(uid).find("E004010203040506"), std::string::npos) << uid;
  }
  void parentUnaffected() {
    const Claim engine = claimOf(terminal_->engine()->portPath());
    EXPECT_EQ(engine.exclusive, before_.exclusive) << "the engine's exclusive flag changed";
    EXPECT_EQ(engine.locked, before_.locked) << "the engine's lock changed";
    EXPECT_EQ(claimOf(terminal_->module()->portPath()).exclusive, 1);
    EXPECT_EQ(terminal_->engine()->hostCloseCount(), 0);
    EXPECT_EQ(terminal_->module()->hostCloseCount(), 0);
    readSucceeds();
    const int before = host_.announced();
    ASSERT_FALSE(terminal_->presentBarcode(barcodeOf("code39:PARENT")));
    ASSERT_TRUE(host_.pressUntil([&] { return host_.announced() > before; }));
    EXPECT_EQ(decodeData(), "PARENT");
  }

  ScanHost host_;
  std::unique_ptr<readersim::Terminal> terminal_;
  Claim before_;
};

}  // namespace

TEST_F(ForkedChildTest, AChildThatExitsEndsCleanly) {
  EXPECT_EQ(inChild([] { return 0; }), 0);
  parentUnaffected();
}

TEST_F(ForkedChildTest, AChildThatHaltsReturnsAtOnceAndClosesOnlyItsCopies) {
  EXPECT_EQ(inChild([] {
              const auto start = std::chrono::steady_clock::now();
              if (HaltReader(READER_DEVICE_ALL) != READER_OK) return 2;
              if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) return 3;
              // Nothing of the parent's is left to the child.
              if (GetReaderType() != 0 || HaltReader(READER_DEVICE_ALL) != READER_ERR_NO_DEVICE) return 4;
              return 0;
            }),
            0);
  parentUnaffected();
}

TEST_F(ForkedChildTest, AChildThatTouchesTheReaderDoesNotReachTheParentsDevices) {
  const std::size_t engineFrames = terminal_->engine()->framesReceived().size();
  const std::size_t moduleFrames = terminal_->module()->framesReceived().size();
  EXPECT_EQ(inChild([] {
              char buffer[32] = {};
              // Calls that would use the devices find none in the child.
              if (ResetReaderToDefault(READER_DEVICE_ALL) != READER_ERR_NO_DEVICE) return 2;
              if (ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, 0, 4, 0, nullptr) > 0) return 3;
              // The parent holds the ports: a start of its own cannot have them.
              if (InitReader() == READER_OK) return 4;
              return 0;
            }),
            0);
  EXPECT_EQ(terminal_->engine()->framesReceived().size(), engineFrames);
  EXPECT_EQ(terminal_->module()->framesReceived().size(), moduleFrames);
  parentUnaffected();
}
