// readerctl's --json on the commands that print one result (info, tag read,
// tag write, settings set): one object on standard output and nothing else
// there, the simulated terminal's notice included, with the shapes the
// README documents.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::readerctl;
using cli_testing::operator+;
using Args = std::vector<std::string>;

class JsonOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
};

TEST_F(JsonOutputTest, InfoPrintsOneObjectAndTheNoticeGoesToStandardError) {
  const CliRun json = readerctl({"info", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"library_version\": \"2.00.0027\", \"serial_number\": \"SIM3100XE0001\", "
            "\"start\": {\"function\": \"InitReader\", \"result\": 1, \"text\": \"success\"}, "
            "\"engine\": {\"kind\": 2, \"name\": \"text-command engine with a configuration block\", "
            "\"link_speed\": 115200}, "
            "\"module\": {\"kind\": 6, \"name\": \"hexadecimal-frame RFID module\", \"link_speed\": 115200}, "
            "\"reader_type\": 17, \"active_devices\": 255, \"trigger_keys\": false}\n");
  EXPECT_TRUE(has(json.err, "Using the built-in simulated terminal")) << json.err;

  // The lines too leave the notice to standard error.
  const CliRun text = readerctl({"info"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(text.out.starts_with("Library version: ")) << text.out;
  EXPECT_TRUE(has(text.err, "Using the built-in simulated terminal")) << text.err;

  // A terminal without a serial number, as --serial none simulates one.
  const CliRun unnumbered = readerctl({"--serial", "none", "info", "--json"});
  ASSERT_EQ(unnumbered.status, 0) << unnumbered.err;
  EXPECT_TRUE(unnumbered.out.starts_with("{\"library_version\": \"2.00.0027\", \"serial_number\": null, "))
      << unnumbered.out;

  // A start that failed: what was found is null, the status 1.
  ::setenv("READER_COM1", "/nonexistent/ttyUSB7", 1);
  const CliRun failed = readerctl({"--ex", "info", "--json"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(has(failed.out,
                  "\"serial_number\": null, \"start\": {\"function\": \"InitReaderEx\", \"result\": -102, "
                  "\"text\": \"no device could be opened\"}, \"engine\": null, \"module\": null, "
                  "\"reader_type\": 0, \"active_devices\": 0"))
      << failed.out;
}

TEST_F(JsonOutputTest, TagReadAndWriteEachPrintOneObject) {
  const Args module = {"--engine", "0", "--module", "5", "--tag", "tagit:A1B2C3D4:48656C6C6F"};
  const CliRun read = readerctl(module + Args{"tag", "read", "--json", "--length", "5"});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out,
            "{\"type_code\": 84, \"type_char\": \"T\", \"family\": \"Tag-it\", \"uid\": \"A1B2C3D4\", "
            "\"uid_bytes\": \"A1B2C3D4\", \"flags\": null, \"start\": -1, \"data\": \"48656C6C6F\"}\n");
  const CliRun uid = readerctl(module + Args{"tag", "read", "--uid", "--json"});
  ASSERT_EQ(uid.status, 0) << uid.err;
  EXPECT_TRUE(has(uid.out,
                  "\"uid\": \"A1B2C3D4\", \"uid_bytes\": \"A1B2C3D4\", \"flags\": null, \"start\": -1, "
                  "\"data\": null}\n"))
      << uid.out;

  const CliRun write = readerctl(module + Args{"tag", "write", "--start", "2", "--text", "Hi", "--json"});
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_EQ(write.out,
            "{\"type_code\": 84, \"type_char\": \"T\", \"family\": \"Tag-it\", \"uid\": \"A1B2C3D4\", "
            "\"uid_bytes\": \"A1B2C3D4\", \"flags\": null, \"start\": 2, \"written\": 2, \"requested\": 2}\n");

  // A tag that gives none of the data: the object says so, the status 1.
  const CliRun none =
      readerctl({"--engine", "0", "--module", "6", "--tag", "mifare:04A1B2C3:4F4B", "tag", "read", "--json"});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(
      none.out.ends_with("\"uid\": \"04A1B2C3\", \"uid_bytes\": \"04A1B2C3\", \"flags\": null, "
                         "\"start\": -1, \"data\": \"\"}\n"))
      << none.out;
}

TEST_F(JsonOutputTest, SettingsSetPrintsTheFieldsAsReadBack) {
  const CliRun set = readerctl({"--module", "0", "settings", "set", "prefix=AB", "--json", "k2.trigger_mode=0"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "{\"fields\": {\"prefix\": \"AB\", \"k2.trigger_mode\": 0}, \"not_taken\": {}}\n");
}

}  // namespace
