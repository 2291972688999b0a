// `readerctl settings`: reads and changes the settings record by field name.
//
//   settings get [--json]          the record as named fields
//   settings set NAME=VALUE ...    changes fields (read, change, write back)
//   settings reset [--mask N]      the default set-up (mask 255 by default)
//   settings defaults [--json]     reset, then the record as with get
//
// Works only through the library's public interface; the reader must have
// been started.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace readerctl {

// `args` are the words after "settings". Returns the exit status: 0 done,
// 1 the library refused (its code explained on `err`), 2 bad usage, an
// unknown field or a bad value (nothing written).
int runSettingsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

}  // namespace readerctl
