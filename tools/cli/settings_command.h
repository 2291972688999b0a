// `readerctl settings`: reads and changes the settings record by field name.
//
//   settings get [--json]          the record as named fields
//   settings set NAME=VALUE... [--json]
//                                  changes fields (read, change, write back)
//   settings reset [--mask N]      the default set-up (mask 255 by default)
//   settings defaults [--json]     reset, then the record as with get
//
// Works only through the library's public interface; the reader must have
// been started.
#pragma once

#include <3100XE_DLL.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "settings_exchange.h"
#include "settings_fields.h"

namespace readerctl {

struct SettingsRequest {
  enum class Action { Get, Set, Reset, Defaults };
  Action action = Action::Get;
  bool json = false;                                                   // get, set, defaults
  std::vector<std::pair<const SettingsField *, std::string>> changes;  // set: checked values
  int mask = READER_DEVICE_ALL;                                        // reset
};

// `args` are the words after "settings". False, with the problem, for bad
// usage, an unknown field or a value the field does not take: everything
// that can be known before the reader starts.
bool parseSettingsRequest(const std::vector<std::string> &args, SettingsRequest &request, std::string &problem);

// Runs a parsed request on the started reader. Returns the exit status: 0
// done, 1 the library refused (its code explained on `err`), 2 a field of
// another engine than the one fitted (nothing written).
int runSettingsRequest(const SettingsRequest &request, std::ostream &out, std::ostream &err);

// The outcomes printed, as `get`, `defaults` and `set` print them. The
// changes' exit status: 0, or 1 (said on `err`) when the reader did not take
// one of them.
void printSettingsValues(const std::vector<FieldValue> &values, bool json, std::ostream &out);
int printSettingsChanges(const std::vector<SettingsChange> &changes, bool json, std::ostream &out, std::ostream &err);

// A failure, as the settings commands report it: exit status 1 for a call
// that failed, 2 for a usage problem (with where the usage is).
int settingsFailed(const std::string &text, std::ostream &err);
int settingsUsage(const std::string &problem, std::ostream &err);

// Both: 2 with the problem and where the usage is on `err` when the parse
// fails.
int runSettingsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

}  // namespace readerctl
