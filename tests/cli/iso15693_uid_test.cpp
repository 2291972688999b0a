// The UID of an ISO 15693 tag as the two module kinds give it: the library
// passes the kind-6 module's text on as it is, one byte longer (the response
// flags, last), and readerctl's tag output shows the parts beside it.
#include <gtest/gtest.h>

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

const Args kTag = {"--tag", "philips:E00401A2B3C4D5E6:41"};

Args module(int kind) { return {"--engine", "0", "--module", std::to_string(kind)}; }

class Iso15693UidTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
};

TEST_F(Iso15693UidTest, KindSixShowsTheUidAndTheResponseFlagsApart) {
  const CliRun six = readerctl(module(6) + kTag + Args{"tag", "read", "--length", "1"});
  ASSERT_EQ(six.status, 0) << six.err;
  EXPECT_TRUE(has(six.out, "UID:       E00401A2B3C4D5E600 (UID E00401A2B3C4D5E6, response flags 00)\n")) << six.out;
  const CliRun sixJson = readerctl(module(6) + kTag + Args{"tag", "read", "--uid", "--json"});
  ASSERT_EQ(sixJson.status, 0) << sixJson.err;
  EXPECT_TRUE(has(sixJson.out,
                  "\"uid\": \"E00401A2B3C4D5E600\", \"uid_bytes\": \"E00401A2B3C4D5E6\", "
                  "\"flags\": \"00\""))
      << sixJson.out;

  // Kind 5 gives the UID alone, and there is nothing to explain.
  const CliRun five = readerctl(module(5) + kTag + Args{"tag", "read", "--length", "1"});
  ASSERT_EQ(five.status, 0) << five.err;
  EXPECT_TRUE(has(five.out, "UID:       E00401A2B3C4D5E6\n")) << five.out;
  const CliRun fiveJson = readerctl(module(5) + kTag + Args{"tag", "read", "--uid", "--json"});
  EXPECT_TRUE(has(fiveJson.out,
                  "\"uid\": \"E00401A2B3C4D5E6\", \"uid_bytes\": \"E00401A2B3C4D5E6\", "
                  "\"flags\": null"))
      << fiveJson.out;
}

TEST_F(Iso15693UidTest, TheTriggersAutoReadIsShownAlike) {
  const CliRun line = readerctl(module(6) + kTag + Args{"tag", "watch", "--count", "1"});
  ASSERT_EQ(line.status, 0) << line.err;
  EXPECT_TRUE(line.out.starts_with(
      "tag 86 'V' (ISO 15693)  uid E00401A2B3C4D5E600 (UID E00401A2B3C4D5E6, response flags 00)  data 41"))
      << line.out;
  const CliRun json = readerctl(module(6) + kTag + Args{"tag", "watch", "--json", "--count", "1"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_TRUE(has(json.out,
                  "\"uid\": \"E00401A2B3C4D5E600\", \"uid_bytes\": \"E00401A2B3C4D5E6\", "
                  "\"flags\": \"00\", \"data\": \"41"))
      << json.out;
}

}  // namespace
