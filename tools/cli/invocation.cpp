#include "invocation.h"

#include <3100XE_DLL.h>

#include <cstdlib>

#include "built_in_terminal.h"
#include "command_help.h"
#include "info_command.h"
#include "reader_session.h"
#include "readerd_session.h"
#include "result_text.h"

namespace readerctl {

namespace {

constexpr int kUsage = 2;

// The port variables that name real devices, in words; empty when none do.
std::string realPortsSet() {
  const bool com1 = std::getenv("READER_COM1") != nullptr;
  const bool com2 = std::getenv("READER_COM2") != nullptr;
  if (com1 && com2) return "READER_COM1 and READER_COM2 are set";
  if (com1 || com2) return com1 ? "READER_COM1 is set" : "READER_COM2 is set";
  return {};
}

// The request the command and its arguments make; false with the problem.
bool parseRequest(const CliOptions &options, Invocation &invocation, std::string &problem) {
  const std::string &command = options.command;
  const std::vector<std::string> &args = options.arguments;
  if (command.empty()) {
    problem = "no command given";
    return false;
  }
  if (command == "info") {
    InfoRequest request;
    for (const std::string &arg : args) {
      if (arg != "--json") {
        problem = "info: unexpected argument '" + arg + "'";
        return false;
      }
      request.json = true;
    }
    invocation.request = request;
    return true;
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
  problem = "unknown command '" + command + "'";
  return false;
}

// "--a", "--a and --b", "--a, --b and --c".
std::string optionList(const std::vector<std::string> &names) {
  std::string text = names.front();
  for (std::size_t i = 1; i < names.size(); ++i) text += (i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// The readerd socket to use: --readerd wins over READERD_SOCKET; an empty
// one is none.
std::string readerdSocketOf(const CliOptions &given) {
  if (given.readerdSocket) return *given.readerdSocket;
  const char *variable = std::getenv("READERD_SOCKET");
  return variable != nullptr ? variable : "";
}

// Why the options for the built-in simulated terminal cannot be used;
// nullopt when they can. Every one of them is refused with real devices and
// with readerd: ignored, they would leave a user believing the terminal they
// describe is the one that answered. So are --ex and --trace with readerd,
// which started the reader and has the trace.
std::optional<std::string> simulationProblem(const CliOptions &given, const std::string &readerdSocket) {
  const std::vector<std::string> &named = given.simulatorOptions;
  if (!readerdSocket.empty()) {
    const std::string served = given.readerdSocket ? "--readerd is given" : "READERD_SOCKET is set";
    if (!named.empty()) {
      return optionList(named) + (named.size() == 1 ? " is" : " are") +
             " for the built-in simulated terminal, which is not used: readerd serves the reader (" + served + ")";
    }
    if (given.useInitReaderEx || given.trace) {
      return std::string(given.useInitReaderEx ? "--ex" : "--trace") +
             " does not go with readerd, which starts the reader and has its trace (" + served + ")";
    }
    return std::nullopt;
  }
  if (named.empty()) return std::nullopt;
  const bool one = named.size() == 1;
  if (!builtInTerminalAvailable()) {
    return optionList(named) + (one ? " needs" : " need") +
           " the built-in simulated terminal, which exists only on Linux; here the devices are always COM1 and "
           "COM2";
  }
  if (const std::string ports = realPortsSet(); !ports.empty()) {
    return optionList(named) + (one ? " is" : " are") +
           " for the built-in simulated terminal, which is not used: " + ports + " (real devices)";
  }
  if (!given.tags.empty() && given.moduleKind == 0)
    return "--tag: the simulated terminal has no RFID module (--module 0)";
  return std::nullopt;
}

// "--engine" of "--engine: ..." or "--serial is ..."; empty when the
// problem does not begin with an option.
std::string leadingOption(const std::string &problem) {
  if (!problem.starts_with("--")) return {};
  return problem.substr(0, problem.find_first_of(": "));
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

std::optional<Invocation> parseInvocation(int argc, char **argv, std::ostream &out, std::ostream &err, int &status) {
  std::string problem;
  std::optional<CliOptions> options = parseOptions(argc, argv, problem);
  status = 0;
  if (options && options->help) {
    printUsage(out);
    return std::nullopt;
  }
  if (options && options->version) {
    printVersion(out);
    return std::nullopt;
  }
  if (options && options->command == "help") {
    if (printHelp(options->arguments, out)) return std::nullopt;
    std::string topic;
    for (const std::string &word : options->arguments) topic += (topic.empty() ? "" : " ") + word;
    err << "readerctl: help: no command '" << topic << "'\n" << usageHint("", {}, false);
    status = kUsage;
    return std::nullopt;
  }
  Invocation invocation;
  bool optionProblem = !options;
  // The option a parse failure concerns, whose help line is shown.
  const std::string option = options ? std::string() : leadingOption(problem);
  if (options) {
    invocation.options = std::move(*options);
    if (parseRequest(invocation.options, invocation, problem)) {
      invocation.readerdSocket = readerdSocketOf(invocation.options);
      const std::optional<std::string> unusable = simulationProblem(invocation.options, invocation.readerdSocket);
      if (!unusable) return invocation;
      problem = *unusable;
      optionProblem = true;
    }
  }
  // The problem in one line, the one usage line it concerns, and where the
  // rest is: not all of the help.
  err << "readerctl: " << problem << "\n"
      << usageHint(invocation.options.command, invocation.options.arguments, optionProblem, option);
  status = kUsage;
  return std::nullopt;
}

int runInvocation(const Invocation &invocation, std::ostream &out, std::ostream &err, const std::atomic<bool> &stop) {
  if (!invocation.readerdSocket.empty()) return runThroughReaderd(invocation, invocation.readerdSocket, out, err, stop);
  ReaderSession session(invocation.options, out, err);
  // The notice of the simulated terminal goes with the other notes: standard
  // output holds the results alone (JSON included).
  if (const int prepared = session.prepare(err); prepared != 0) return prepared;
  const int result = session.start(invocation.stderrIsTerminal);
  int status = 0;
  if (const auto *info = std::get_if<InfoRequest>(&invocation.request)) {
    status = runInfoCommand(session, info->json, out, err);
  } else if (const auto *settings = std::get_if<SettingsRequest>(&invocation.request)) {
    status = engineStarted(result) || moduleStarted(result) ? runSettingsRequest(*settings, out, err)
                                                            : startFailed(session, result, err);
  } else if (const auto *tag = std::get_if<TagRequest>(&invocation.request)) {
    status = moduleStarted(result) ? runTagRequest(*tag, session.simulated(), stop, out, err)
                                   : startFailed(session, result, err);
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
