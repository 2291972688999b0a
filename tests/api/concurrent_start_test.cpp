// The engine and the module are started at the same time, each on its own
// port: each port sees exactly the traffic it sees when its device is started
// alone, and the start's results are those of the devices one after the
// other.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_terminal.h"

using namespace testing_support;

namespace {

struct Frame {
  std::vector<std::uint8_t> bytes;
  int hostSpeed = 0;
  bool operator==(const Frame &) const = default;
};

struct Start {
  int result = 0;
  int type = 0;
  std::vector<Frame> engineFrames, moduleFrames;
  std::int64_t moduleFirstNs = 0, engineLastNs = 0;
};

std::vector<Frame> framesOf(const readersim::PtyDevice *device) {
  std::vector<Frame> out;
  if (device == nullptr) return out;
  for (const ReceivedFrame &f : receivedFrames(*device)) out.push_back({f.bytes, f.hostSpeed});
  return out;
}

std::int64_t hostWriteTime(const readersim::PtyDevice *device, bool first) {
  std::int64_t at = 0;
  if (device == nullptr) return at;
  for (const readersim::TrafficRecord &r : device->log().snapshot()) {
    if (r.type != readersim::RecordType::FromHost) continue;
    at = r.timeNs;
    if (first) break;
  }
  return at;
}

// Engine 3 at 9600 (the longest start there is) and the ASCII module, whose
// set-up is sent afresh on every start.
Start start(int engineKind, int moduleKind, bool ex) {
  readersim::TerminalConfig config = quickConfig(engineKind, moduleKind);
  config.ssiEngine.startSpeed = 9600;
  auto terminal = startTerminal(config);
  Start s;
  s.result = ex ? InitReaderEx() : InitReader();
  s.type = GetReaderType();
  s.engineFrames = framesOf(terminal->engine());
  s.moduleFrames = framesOf(terminal->module());
  s.moduleFirstNs = hostWriteTime(terminal->module(), true);
  s.engineLastNs = hostWriteTime(terminal->engine(), false);
  HaltReader(READER_DEVICE_ALL);
  return s;
}

class ConcurrentStartTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
};

TEST_P(ConcurrentStartTest, EachPortSeesWhatItSeesAloneWhileTheOtherStarts) {
  const bool ex = GetParam();
  const Start engineAlone = start(3, 0, ex);
  const Start moduleAlone = start(0, 5, ex);
  const Start both = start(3, 5, ex);
  ASSERT_EQ(both.result, READER_OK);
  EXPECT_EQ(both.type, READER_TYPE_SSI_ENGINE_3 | READER_TYPE_ASCII_MODULE);
  ASSERT_FALSE(both.engineFrames.empty());
  ASSERT_FALSE(both.moduleFrames.empty());
  EXPECT_EQ(both.engineFrames, engineAlone.engineFrames);
  EXPECT_EQ(both.moduleFrames, moduleAlone.moduleFrames);
  // The module was spoken to while the engine was still being started.
  EXPECT_LT(both.moduleFirstNs, both.engineLastNs);
}

TEST_P(ConcurrentStartTest, AFailingDeviceGivesTheResultAndTextItGaveBefore) {
  const bool ex = GetParam();
  readersim::TerminalConfig config = quickConfig(3, 5);
  auto terminal = startTerminal(config);
  terminal->engine()->vanish();
  // The module opened: the probing start reports a partial start as 1.
  EXPECT_EQ(ex ? InitReaderEx() : InitReader(), ex ? READER_OK : READER_ERR_BARCODE_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_ASCII_MODULE);
}

INSTANTIATE_TEST_SUITE_P(Routes, ConcurrentStartTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "InitReaderEx" : "InitReader"; });

}  // namespace
