// readerctl: the command-line tool of the reader library.
#include <iostream>

#include "cli_options.h"
#include "info_command.h"
#include "reader_session.h"
#include "result_text.h"
#include "settings_command.h"

int main(int argc, char **argv) {
  using namespace readerctl;
  std::string error;
  const std::optional<CliOptions> options = parseOptions(argc, argv, error);
  if (!options) {
    std::cerr << "readerctl: " << error << "\n";
    printUsage(std::cerr);
    return 2;
  }
  if (options->help) {
    printUsage(std::cout);
    return 0;
  }
  if (options->command != "info" && options->command != "settings") {
    std::cerr << (options->command.empty() ? std::string("readerctl: no command given")
                                           : "readerctl: unknown command " + options->command)
              << "\n";
    printUsage(std::cerr);
    return 2;
  }

  int status = 0;
  {
    ReaderSession session(*options, std::cout, std::cerr);
    // Machine-readable output (settings get --json) stays alone on stdout.
    if (!session.prepare(options->command == "info" ? std::cout : std::cerr)) return 1;
    const int result = session.start();
    if (options->command == "info") {
      status = runInfoCommand(session, std::cout, std::cerr);
    } else if (result != 1 && result != -111 && result != -112) {
      std::cerr << "readerctl: start failed: result " << result << " (" << describeResult(result) << ")\n";
      status = 1;
    } else {
      status = runSettingsCommand(options->arguments, std::cout, std::cerr);
    }
    if (options->traffic) session.printTraffic(std::cout);
  }
  return status;
}
