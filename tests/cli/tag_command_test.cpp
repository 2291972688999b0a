// readerctl's tag commands: reads through both module kinds of the built-in
// simulated terminal with tags placed by --tag, a write read back from a
// terminal that outlives the runs (as real devices do), the exit status when
// no tag is in the field, and the tags a trigger press announces.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/test_terminal.h"

namespace {

using cli_testing::CliRun;
using cli_testing::has;
using cli_testing::linesOf;
using cli_testing::readerctl;
using cli_testing::operator+;
using cli_testing::parsedInvocation;
using Bytes = std::vector<std::uint8_t>;
using Args = std::vector<std::string>;

class TagCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
};

class TagReadTest : public TagCommandTest, public ::testing::WithParamInterface<int> {
 protected:
  Args module() const { return {"--engine", "0", "--module", std::to_string(GetParam())}; }
};

TEST_P(TagReadTest, PrintsTheTagTypeUidAndDataAsTheModuleReadsThem) {
  // Tag-it reads alike through both kinds (kind 6 realigns its blocks).
  const CliRun data = readerctl(
      module() + Args{"--tag", "tagit:A1B2C3D4:48656C6C6F2C207461670001020304050607", "tag", "read", "--length", "20"});
  ASSERT_EQ(data.status, 0) << data.err;
  EXPECT_EQ(data.out,
            "Tag type:  84 'T' (Tag-it)\n"
            "UID:       A1B2C3D4\n"
            "Data:      20 bytes from the family's first data block\n"
            "    0  48 65 6C 6C 6F 2C 20 74 61 67 00 01 02 03 04 05  Hello, tag......\n"
            "   16  06 07 00 00                                      ....\n");

  // A Mifare tag: its UID through both; its data only through kind 5, which
  // logs in to the sectors with the key. Kind 6 finds the tag, reads no data
  // from it, and says so.
  const Args mifare = module() + Args{"--tag", "mifare:04A1B2C3:4F4B:K1", "tag", "read"};
  const CliRun uid = readerctl(mifare + Args{"--uid"});
  ASSERT_EQ(uid.status, 0) << uid.err;
  EXPECT_EQ(uid.out, "Tag type:  77 'M' (ISO 14443 type A)\nUID:       04A1B2C3\n");
  const CliRun keyed = readerctl(mifare + Args{"--key", "K1", "--length", "2"});
  if (GetParam() == 5) {
    EXPECT_EQ(keyed.status, 0) << keyed.err;
    EXPECT_TRUE(has(keyed.out, "Data:      2 bytes from the family's first data block\n    0  4F 4B")) << keyed.out;
  } else {
    EXPECT_EQ(keyed.status, 1);
    EXPECT_TRUE(has(keyed.out, "UID:       04A1B2C3\nData:      none\n")) << keyed.out;
    EXPECT_TRUE(has(keyed.err, "the tag was read, but none of its data")) << keyed.err;
  }
}

INSTANTIATE_TEST_SUITE_P(ModuleKinds, TagReadTest, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

using TagWriteTest = TagReadTest;

TEST_P(TagWriteTest, AWriteIsReadBackAndAnEmptyFieldExitsWithOne) {
  // The terminal outlives each run, so the tag keeps what was written. Each
  // run starts the reader afresh: on kind 6 no air protocol is selected yet.
  readersim::TerminalConfig config = testing_support::quickConfig(0, GetParam());
  readersim::SimTag philips = readersim::tagOf("philips:E00401A2B3C4D5E6");
  philips.setBlock(1, Bytes{0xB0, 0xB1, 0xB2, 0xB3});
  philips.setBlock(3, Bytes{0xA0, 0xA1, 0xA2, 0xA3});
  config.tags.push_back(philips);
  const auto terminal = testing_support::startTerminal(config);

  // "Hi", a zero byte, "there" from byte 6: blocks 1 (from offset 2) to 3
  // (up to offset 1); the other bytes of those blocks stay.
  const CliRun write = readerctl({"tag", "write", "--start", "6", "--hex", "4869007468657265"});
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_TRUE(write.out.starts_with("Tag type:  86 'V' (ISO 15693)\nUID:       E00401A2B3C4D5E6")) << write.out;
  EXPECT_TRUE(has(write.out, "\nWritten:   8 bytes from byte 6\n")) << write.out;
  EXPECT_EQ(terminal->tag(philips.uid())->block(1), (Bytes{0xB0, 0xB1, 0x48, 0x69}));

  const CliRun read = readerctl({"tag", "read", "--start", "4", "--length", "12"});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_TRUE(has(read.out,
                  "Data:      12 bytes from byte 4\n"
                  "    0  B0 B1 48 69 00 74 68 65 72 65 A2 A3              ..Hi.there..\n"))
      << read.out;

  ASSERT_FALSE(terminal->clearTags().has_value());
  const CliRun noRead = readerctl({"tag", "read"});
  EXPECT_EQ(noRead.status, 1);
  EXPECT_EQ(noRead.out, "");
  EXPECT_TRUE(has(noRead.err, "readerctl: no tag read: ReadRfidData returned -280")) << noRead.err;
  const CliRun noWrite = readerctl({"tag", "write", "--start", "-1", "--text", "x"});
  EXPECT_EQ(noWrite.status, 1);
  EXPECT_TRUE(has(noWrite.err, "readerctl: nothing written: ")) << noWrite.err;
}

INSTANTIATE_TEST_SUITE_P(ModuleKinds, TagWriteTest, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int> &info) { return "Kind" + std::to_string(info.param); });

TEST_F(TagCommandTest, WatchPrintsTheAnnouncedTagsUpToTheCount) {
  // Beside a text engine that triggers itself (a press starts only the tag
  // read) and beside an SSI engine (a press starts a scan as well).
  const Args tag = {"--tag", "tagit:A1B2C3D4:41424344", "tag", "watch"};
  const CliRun json = readerctl(Args{"--module", "6"} + tag + Args{"--json", "--count", "1"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"type_code\": 84, \"type_char\": \"T\", \"family\": \"Tag-it\", \"uid\": \"A1B2C3D4\", "
            "\"uid_bytes\": \"A1B2C3D4\", \"flags\": null, \"data\": \"41424344" +
                std::string(56, '0') + "\"}\n");

  const CliRun lines =
      readerctl(Args{"--engine", "3", "--engine-speed", "115200", "--module", "5"} + tag + Args{"--count", "2"});
  ASSERT_EQ(lines.status, 0) << lines.err;
  const std::vector<std::string> printed = linesOf(lines.out);
  ASSERT_EQ(printed.size(), 2u) << lines.out;
  for (const std::string &line : printed)
    EXPECT_TRUE(line.starts_with("tag 84 'T' (Tag-it)  uid A1B2C3D4  data 41424344")) << line;

  // Only the watch ends on a stop signal; the others end as the process does.
  for (const bool watch : {true, false}) {
    std::ostringstream out, err;
    int status = 0;
    const auto invocation = parsedInvocation({"tag", watch ? "watch" : "read"}, out, err, status);
    ASSERT_TRUE(invocation.has_value()) << err.str();
    EXPECT_EQ(invocation->waitsForDecodes(), watch);
  }
}

}  // namespace
