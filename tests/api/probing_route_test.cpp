// The probing start (InitReaderEx) finds every kind of device without the
// hardware text, and leaves each at its working speed after the set-up.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include "support/test_terminal.h"

using namespace testing_support;

namespace {

struct ProbeCase {
  int engineKind;
  int moduleKind;
  int readerType;
  int engineSpeed;  // 0: no engine
  int moduleSpeed;  // 0: no module
};

class ProbingRouteTest : public ::testing::TestWithParam<ProbeCase> {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
};

}  // namespace

TEST_P(ProbingRouteTest, FindsTheDeviceWithoutTheHardwareText) {
  const ProbeCase c = GetParam();
  readersim::TerminalConfig config = quickConfig(c.engineKind, c.moduleKind);
  config.hardwareInfo = readersim::IdentityText::unset();  // the probing route does not need it
  auto terminal = startTerminal(config);
  ASSERT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), c.readerType);
  if (c.engineSpeed != 0) {
    EXPECT_EQ(terminal->engine()->speed(), c.engineSpeed);
  }
  if (c.moduleSpeed != 0) {
    EXPECT_EQ(terminal->module()->speed(), c.moduleSpeed);
  }
}

// An SSI engine is reset to 9600 by its set-up and moved back to its
// working speed; the variant-4 engine is probed as a text engine and as
// variant 3 (at both speeds) before its own kind answers.
INSTANTIATE_TEST_SUITE_P(Kinds, ProbingRouteTest,
                         ::testing::Values(ProbeCase{2, 0, READER_TYPE_TEXT_ENGINE, 115200, 0},
                                           ProbeCase{4, 0, READER_TYPE_SSI_ENGINE_4, 38400, 0},
                                           ProbeCase{0, 5, READER_TYPE_ASCII_MODULE, 0, 57600}),
                         [](const ::testing::TestParamInfo<ProbeCase> &info) {
                           return info.param.engineKind != 0 ? "Engine" + std::to_string(info.param.engineKind)
                                                             : "Module" + std::to_string(info.param.moduleKind);
                         });
