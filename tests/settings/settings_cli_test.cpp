// `readerctl settings` against a simulated terminal. The command's sources
// are compiled in here: they use only the public interface, as this test
// executable does.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings_command.h"
#include "settings_fields.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun settings(const std::vector<std::string> &args) {
  std::ostringstream out, err;
  const int status = readerctl::runSettingsCommand(args, out, err);
  return {status, out.str(), err.str()};
}

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(SettingsCli, EveryRecordByteInUseHasExactlyOneNamePerSection) {
  std::set<std::string> names;
  std::set<std::pair<int, int>> bytes;  // section, offset
  for (const readerctl::SettingsField &f : readerctl::settingsFields()) {
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
    EXPECT_TRUE(bytes.insert({f.section, f.offset}).second) << f.name;
  }
  auto covered = [&](int section, int from, int to, std::set<int> unused) {
    for (int b = from; b <= to; ++b)
      EXPECT_EQ(bytes.count({section, b}), unused.count(b) ? 0u : 1u) << "section " << section << " byte " << b;
  };
  covered(2, 1, 82, {77});
  covered(4, 101, 168, {119});
  covered(3, 191, 290, {});
}

TEST(SettingsCli, GetShowsByteZeroTheFittedEnginesFieldsAndTheOptions) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const CliRun plain = settings({"get"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(has(plain.out, "device_mask=33\n"));
  EXPECT_TRUE(has(plain.out, "k2.trigger_mode=1\n"));
  EXPECT_TRUE(has(plain.out, "k2.scan_time=5\n"));
  EXPECT_TRUE(has(plain.out, "auto_read_key=AA5BC8D61E3A97\n"));
  EXPECT_TRUE(has(plain.out, "auto_read_start=-1\n"));
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
  const CliRun run = settings({"set", "k2.trigger_mode=6", "k2.scan_time=0x09", "prefix=<b>", "vibrate_time=4"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto block = t.textEngine().block();
  EXPECT_EQ(block[20] >> 4, 6);
  EXPECT_EQ(block[21], 9);
  const CliRun get = settings({"get"});
  EXPECT_TRUE(has(get.out, "prefix=<b>\n"));
  EXPECT_TRUE(has(get.out, "vibrate_time=4\n"));
}

TEST(SettingsCli, BadNamesAndValuesAreUsageErrorsAndWriteNothing) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  TrafficSince traffic(t.textEngine());
  const std::vector<std::vector<std::string>> bad = {
      {"set", "k2.scan_time=4", "k2.no_such_field=1"},
      {"set", "k2.scan_time=4", "k2.trigger_mode=16"},
      {"set", "k2.scan_time=4", "k3.code39.enable=1"},  // not this engine
      {"set", "k2.scan_time=4", "device_mask=1"},
      {"set", "prefix=elevenchars"},
      {"set", "k2.scan_time"},
      {"set"},
      {"get", "--yaml"},
      {"reset", "--mask", "many"},
      {"frobnicate"},
      {},
  };
  for (const auto &args : bad) {
    const CliRun run = settings(args);
    EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args.back());
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_TRUE(traffic.frames().empty());
  EXPECT_TRUE(has(settings({"get"}).out, "k2.scan_time=5\n"));
}

TEST(SettingsCli, ResetAndDefaults) {
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
  EXPECT_TRUE(has(defaults.out, "k2.scan_time=3\n"));
}

TEST(SettingsCli, ALibraryFailureIsExplained) {
  ::unsetenv("READER_COM1");
  ::unsetenv("READER_COM2");
  const CliRun run = settings({"defaults"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "-101"));
  EXPECT_EQ(settings({"reset"}).status, 1);
}

}  // namespace
}  // namespace settings_testing
