// The tag calls as readerctl and readerd make them through the library's
// public interface (ReadRfidData, WriteRfidData), their outcomes as values,
// and the words readerctl says of a failure: readerctl prints them, readerd
// sends them, and readerctl prints readerd's the same way.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "tag_read_command.h"
#include "tag_report.h"
#include "tag_write_command.h"

namespace readerctl {

// Whether an RFID module is fitted and in use; nullopt when it is, else
// what readerctl says ("no RFID module is at work").
std::optional<std::string> moduleNotAtWork();

struct TagReadOutcome {
  int result = 0;     // ReadRfidData's
  Tag tag;            // the tag read (its UID the one read with --uid)
  std::string bytes;  // the data read (empty with --uid)
};
TagReadOutcome readTag(const TagReadRequest &request);
// For a negative result: "no tag read: ReadRfidData returned -280 (...)".
std::string tagReadFailureText(int result);

// Prints a read that returned 0 or more. Returns the exit status: 1 when
// the tag gave none of the data asked for.
int printTagRead(const TagReadRequest &request, const TagReadOutcome &outcome, std::ostream &out, std::ostream &err);

struct TagWriteOutcome {
  // nullopt when written; else the words of the failure ("nothing written:
  // ...").
  std::optional<std::string> failure;
  int result = 0;  // the failing call's result
  Tag tag;         // the tag written
  std::size_t written = 0;
};
TagWriteOutcome writeTag(const TagWriteRequest &request);

// Prints a write that wrote something; exit status 0.
int printTagWrite(const TagWriteRequest &request, const TagWriteOutcome &outcome, std::ostream &out, std::ostream &err);

}  // namespace readerctl
