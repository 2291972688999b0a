// The keyboard path: the record with its terminator, and how it is typed
// (character runs, line ends as key presses, bytes above 127 as their
// values), as the host's output listener sees it.
#include "api/keyboard_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/output_record.h"
#include "output_log.h"
#include "stored_results.h"

using reader::ByteString;
using testing_support::OutputLog;
using Lines = std::vector<std::string>;

namespace {

reader::LibraryOptions &options() { return reader::library().options; }

std::string terminated(int which, int character, int position) {
  options().terminatorChar = character;
  options().terminatorPosition = position;
  ByteString out = ByteString::fromText("stale");
  reader::buildTerminatedRecord(which, out);
  return out.toString();
}

TEST(KeyboardRecord, TerminatorAfterOrBeforeAndTheRecordCut) {
  testing_support::storeBarcodeResult('A', "DATA");
  const char terminators[] = {'\r', '\t', ' ', ',', ';'};
  for (int option = 1; option <= 5; ++option) {
    EXPECT_EQ(terminated(1, option, 1), "DATA" + std::string(1, terminators[option - 1]));
    EXPECT_EQ(terminated(1, option, 2), std::string(1, terminators[option - 1]) + "DATA");
  }
  EXPECT_EQ(terminated(1, 1, 3), "DATA");
  EXPECT_EQ(terminated(1, 6, 1), "DATA");
  EXPECT_EQ(terminated(3, 1, 1), "");
  testing_support::storeRfidResult(8, "E0", {});
  options().rfidOutputUid = 1;
  EXPECT_EQ(terminated(2, 4, 1), "E0,");

  testing_support::storeBarcodeResult('A', std::string(1500, 'x'));
  EXPECT_EQ(terminated(1, 4, 1), std::string(999, 'x') + ",");
}

TEST(KeyboardTyping, EnterKeyAfterTheCharactersAndTabInTheRun) {
  OutputLog log;
  testing_support::storeBarcodeResult('A', "AB");
  for (auto [character, position] : {std::pair{1, 1}, std::pair{2, 2}}) {
    options().terminatorChar = character;
    options().terminatorPosition = position;
    ByteString record;
    reader::buildTerminatedRecord(1, record);
    reader::typeRecord(record);
  }
  EXPECT_EQ(log.lines(), (Lines{"chars 65 66", "key 13 down", "key 13 up", "chars 9 65 66"}));
}

TEST(KeyboardTyping, LineEndsSplitTheRunsAndHighBytesKeepTheirValues) {
  OutputLog log;
  reader::typeRecord(ByteString::fromText("A\rBC\n\r\xE9"));
  EXPECT_EQ(log.lines(), (Lines{"chars 65", "key 13 down", "key 13 up", "chars 66 67", "key 10 down", "key 10 up",
                                "key 13 down", "key 13 up", "chars 233"}));
}

}  // namespace
