#include "info_command.h"

#include <3100XE_DLL.h>

#include "info_facts.h"
#include "result_text.h"

namespace readerctl {

int runInfoCommand(ReaderSession &session, bool json, std::ostream &out, std::ostream &err) {
  const int result = session.startResult();
  printInfoFacts(gatherInfoFacts(session.usedInitReaderEx() ? "InitReaderEx" : "InitReader", result), json, out);
  if (result != READER_OK) {
    err << "readerctl: start failed: " << describeResult(result) << "\n";
    session.printOpenFailures(result, err);
    return 1;
  }
  return 0;
}

}  // namespace readerctl
