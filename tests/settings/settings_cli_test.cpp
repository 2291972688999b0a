// `readerctl settings` against a simulated terminal. The command's sources
// are compiled in here: they use only the public interface, as this test
// executable does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "settings_cli_run.h"
#include "settings_command.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

TEST(SettingsCli, GetShowsByteZeroTheFittedEnginesFieldsAndTheOptionsAsTextOrJson) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const CliRun plain = settings({"get"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  for (const char *line : {"device_mask=33\n", "k2.trigger_mode=1\n", "k2.scan_time=5\n", "auto_read_start=-1\n"})
    EXPECT_TRUE(has(plain.out, line)) << line;
  EXPECT_FALSE(has(plain.out, "k3."));
  EXPECT_FALSE(has(plain.out, "k4."));

  const CliRun json = settings({"get", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out.front(), '{');
  EXPECT_TRUE(has(json.out, "\"k2.trigger_mode\": 1"));
  EXPECT_TRUE(has(json.out, "\"prefix\": \"\""));
}

TEST(SettingsCli, SetChangesFieldsByNameInTheEngineAndTheLibrary) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const CliRun run = settings({"set", "k2.trigger_mode=6", "k2.scan_time=0x09", "prefix=<b>"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(t.textEngine().block()[20] >> 4, 6);
  EXPECT_EQ(t.textEngine().block()[21], 9);
  EXPECT_TRUE(has(settings({"get"}).out, "prefix=<b>\n"));
}

TEST(SettingsCli, BadNamesAndValuesAreUsageErrorsAndALibraryFailureIsExplained) {
  ::unsetenv("READER_COM1");
  ::unsetenv("READER_COM2");
  const std::vector<std::vector<std::string>> bad = {
      {"set", "good_read_sound=7", "no_such_field=1"},
      {"set", "good_read_sound=7", "k2.trigger_mode=1"},  // no engine fitted
      {"set", "good_read_sound=7", "prefix=elevenchars"},
      {"get", "--yaml"},
  };
  for (const auto &args : bad) {
    const CliRun run = settings(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_TRUE(has(settings({"get"}).out, "good_read_sound=1\n"));

  const CliRun reset = settings({"reset"});
  EXPECT_EQ(reset.status, 1);
  EXPECT_TRUE(has(reset.err, "-101"));
}

TEST(SettingsCli, ResetForTheModuleAloneLeavesTheEngineAloneAndDefaultsResetBoth) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  ASSERT_EQ(settings({"set", "good_read_sound=7"}).status, 0);
  TrafficSince traffic(t.textEngine());
  EXPECT_EQ(settings({"reset", "--mask", "32"}).status, 0);
  EXPECT_TRUE(traffic.frames().empty());
  EXPECT_TRUE(has(settings({"get"}).out, "good_read_sound=1\n"));

  const CliRun defaults = settings({"defaults"});
  EXPECT_EQ(defaults.status, 0) << defaults.err;
  EXPECT_TRUE(has(defaults.out, "k2.trigger_mode=6\n"));
}

}  // namespace
}  // namespace settings_testing
