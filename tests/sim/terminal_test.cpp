#include "readersim/terminal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include "host_port.h"

namespace readersim {
namespace {

TerminalConfig kinds(int engine, int module) {
  TerminalConfig config;
  config.engineKind = engine;
  config.moduleKind = module;
  return config;
}

std::optional<std::string> valueOf(const std::vector<EnvironmentEntry> &environment, std::string_view name) {
  for (const auto &entry : environment) {
    if (entry.name == name) return entry.value;
  }
  ADD_FAILURE() << "no entry " << name;
  return std::nullopt;
}

TEST(Terminal, DerivesTheIdentityFromTheFittedDevices) {
  Terminal terminal(kinds(4, 5));
  ASSERT_NE(terminal.ssiEngine(), nullptr);
  EXPECT_EQ(terminal.ssiEngine()->engineKind(), 4);
  ASSERT_NE(terminal.asciiModule(), nullptr);
  EXPECT_EQ(terminal.hexModule(), nullptr);
  auto environment = terminal.environment();
  EXPECT_EQ(valueOf(environment, "READER_COM1"), terminal.engine()->portPath());
  EXPECT_EQ(valueOf(environment, "READER_COM2"), terminal.module()->portPath());
  EXPECT_EQ(valueOf(environment, "READER_HW_INFO"), "4-1");
  EXPECT_EQ(valueOf(environment, "READER_MODEL"), "HLM3200XE");

  Terminal bare(kinds(0, 0));
  auto none = bare.environment();
  EXPECT_EQ(valueOf(none, "READER_COM1"), std::nullopt);
  EXPECT_EQ(valueOf(none, "READER_COM2"), std::nullopt);
  EXPECT_EQ(valueOf(none, "READER_HW_INFO"), "0-0");
  EXPECT_EQ(valueOf(none, "READER_MODEL"), "HLM3100XE");
}

TEST(Terminal, GivenAndUnsetIdentityTextsAreAppliedToTheProcess) {
  TerminalConfig config = kinds(2, 6);
  config.model = IdentityText::unset();
  config.hardwareInfo = IdentityText::given("1-1");
  config.serialNumber = IdentityText::given("SN42");
  Terminal terminal(config);
  ASSERT_NE(terminal.textEngine(), nullptr);
  ASSERT_NE(terminal.hexModule(), nullptr);
  ::setenv("READER_MODEL", "stale", 1);
  terminal.applyEnvironment();
  EXPECT_EQ(::getenv("READER_MODEL"), nullptr);
  EXPECT_STREQ(::getenv("READER_HW_INFO"), "1-1");
  EXPECT_STREQ(::getenv("READER_SERIAL_NUMBER"), "SN42");
  EXPECT_EQ(::getenv("READER_COM1"), terminal.engine()->portPath());
}

TEST(Terminal, DevicesAnswerOnTheirPortsAndUnknownKindsAreRejected) {
  Terminal terminal(kinds(3, 6));
  terminal.engine()->setSilent(true);  // an engine fitted but dead
  testing::HostPort module(terminal.module()->portPath(), 115200);
  ASSERT_TRUE(module.write(HexModule::kProbeFrame));
  EXPECT_FALSE(module.readUntil('\n').empty());

  EXPECT_THROW(Terminal(kinds(5, 0)), std::invalid_argument);
  EXPECT_THROW(Terminal(kinds(0, 2)), std::invalid_argument);
}

}  // namespace
}  // namespace readersim
