#include "invocation.h"

#include <3100XE_DLL.h>

#include <cstdlib>

#include "built_in_terminal.h"
#include "info_command.h"
#include "reader_session.h"
#include "result_text.h"

namespace readerctl {

namespace {

constexpr int kUsage = 2;

bool realPortsConfigured() { return std::getenv("READER_COM1") != nullptr || std::getenv("READER_COM2") != nullptr; }

// The request the command and its arguments make; false with the problem.
bool parseRequest(const CliOptions &options, Invocation &invocation, std::string &problem) {
  const std::string &command = options.command;
  const std::vector<std::string> &args = options.arguments;
  if (command.empty()) {
    problem = "no command given";
    return false;
  }
  if (command == "info") {
    if (!args.empty()) problem = "info: unexpected argument '" + args.front() + "'";
    return args.empty();
  }
  if (command == "settings") {
    SettingsRequest request;
    if (!parseSettingsRequest(args, request, problem)) {
      problem = "settings: " + problem;
      return false;
    }
    invocation.request = std::move(request);
    return true;
  }
  if (command == "scan") {
    ScanRequest request;
    if (!parseScanRequest(args, request, problem)) return false;
    invocation.request = request;
    return true;
  }
  if (command == "watch") {
    WatchRequest request;
    if (!parseWatchRequest(args, request, problem)) return false;
    invocation.request = request;
    return true;
  }
  if (command == "tag") {
    TagRequest request;
    if (!parseTagRequest(args, request, problem)) return false;
    invocation.request = std::move(request);
    return true;
  }
  problem = "unknown command " + command;
  return false;
}

// A command's own usage lines; nullptr for an unknown command.
const char *commandUsage(const std::string &command) {
  if (command == "info") return "usage: readerctl [options] info\n";
  if (command == "settings") return settingsUsage();
  if (command == "scan") return "usage: readerctl [options] scan [--json] [--timeout SECONDS]\n";
  if (command == "watch") return "usage: readerctl [options] watch [--json] [--count N]\n";
  if (command == "tag") return tagUsage();
  return nullptr;
}

// "--a", "--a and --b", "--a, --b and --c".
std::string optionList(const std::vector<std::string> &names) {
  std::string text = names.front();
  for (std::size_t i = 1; i < names.size(); ++i) text += (i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// Why the options for the built-in simulated terminal cannot be used;
// nullopt when they can.
std::optional<std::string> simulationProblem(const CliOptions &given) {
  if (!builtInTerminalAvailable() && !given.simulatorOptions.empty()) {
    return optionList(given.simulatorOptions) + (given.simulatorOptions.size() == 1 ? " needs" : " need") +
           " the built-in simulated terminal, which exists only on Linux; here the devices are always COM1 and "
           "COM2";
  }
  std::vector<std::string> named;
  if (!given.barcodes.empty()) named.emplace_back("--barcode");
  if (given.steadyBarcode) named.emplace_back("--steady");
  if (!given.tags.empty()) named.emplace_back("--tag");
  if (named.empty()) return std::nullopt;
  if (realPortsConfigured()) {
    return optionList(named) + (named.size() == 1 ? " is" : " are") +
           " for the built-in simulated terminal, but READER_COM1 or READER_COM2 names a real device";
  }
  if (!given.tags.empty() && given.moduleKind == 0) return "--tag: the simulated terminal has no RFID module (--module 0)";
  return std::nullopt;
}

// scan and watch need the engine at work, tag the module; the other device
// may have failed.
bool engineStarted(int result) { return result == READER_OK || result == READER_ERR_RFID_FAILED; }
bool moduleStarted(int result) { return result == READER_OK || result == READER_ERR_BARCODE_FAILED; }

int startFailed(const ReaderSession &session, int result, std::ostream &err) {
  err << "readerctl: start failed: result " << result << " (" << describeResult(result) << ")\n";
  session.printOpenFailures(result, err);
  return 1;
}

}  // namespace

std::optional<Invocation> parseInvocation(int argc, char **argv, std::ostream &out, std::ostream &err,
                                          int &status) {
  std::string problem;
  std::optional<CliOptions> options = parseOptions(argc, argv, problem);
  if (options && options->help) {
    printUsage(out);
    status = 0;
    return std::nullopt;
  }
  Invocation invocation;
  if (options) {
    invocation.options = std::move(*options);
    if (parseRequest(invocation.options, invocation, problem)) {
      const std::optional<std::string> unusable = simulationProblem(invocation.options);
      if (!unusable) return invocation;
      problem = *unusable;
    }
  }
  err << "readerctl: " << problem << "\n";
  // A bad argument shows its command's usage, anything else all of it.
  const char *usage = options ? commandUsage(invocation.options.command) : nullptr;
  if (usage != nullptr) {
    err << usage << "Try 'readerctl --help' for the options.\n";
  } else {
    printUsage(err);
  }
  status = kUsage;
  return std::nullopt;
}

int runInvocation(const Invocation &invocation, std::ostream &out, std::ostream &err,
                  const std::atomic<bool> &stop) {
  const bool info = std::holds_alternative<InfoRequest>(invocation.request);
  ReaderSession session(invocation.options, out, err);
  // Only info's report goes to standard output with the notice; the other
  // commands keep it for their results (JSON included).
  if (const int prepared = session.prepare(info ? out : err); prepared != 0) return prepared;
  const int result = session.start();
  int status = 0;
  if (info) {
    status = runInfoCommand(session, out, err);
  } else if (const auto *settings = std::get_if<SettingsRequest>(&invocation.request)) {
    status = engineStarted(result) || moduleStarted(result) ? runSettingsRequest(*settings, out, err)
                                                            : startFailed(session, result, err);
  } else if (const auto *tag = std::get_if<TagRequest>(&invocation.request)) {
    status = moduleStarted(result) ? runTagRequest(*tag, stop, out, err) : startFailed(session, result, err);
  } else if (!engineStarted(result)) {
    status = startFailed(session, result, err);
  } else if (const auto *scan = std::get_if<ScanRequest>(&invocation.request)) {
    status = runScanCommand(session, *scan, stop, out, err);
  } else {
    status = runWatchCommand(session, std::get<WatchRequest>(invocation.request), stop, out, err);
  }
  if (invocation.options.traffic) session.printTraffic(out);
  return status;
}

}  // namespace readerctl
