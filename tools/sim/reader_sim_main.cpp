// reader-sim: runs a simulated terminal on pseudo-terminals, prints the
// environment a host needs to find it, and takes commands on standard input
// and on its control FIFO.
#include <getopt.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/readersim.h"

#ifndef READER_TOOLS_VERSION
#  define READER_TOOLS_VERSION "unknown"
#endif

namespace {

using readersim::AsciiModule;
using readersim::IdentityText;
using readersim::TerminalConfig;

const char kUsage[] = R"usage(Usage: reader-sim [OPTION]...
Simulates the terminal's scan engine (COM port 1) and RFID module (COM port 2)
on pseudo-terminals, prints the environment a host needs as shell lines
("export NAME=value", or "unset NAME"), then runs until SIGINT or SIGTERM.

  --engine=KIND          scan engine: 0 (none), 2, 3 or 4 [2]
  --module=KIND          RFID module: 0 (none), 5 or 6 [6]
  --model=TEXT           READER_MODEL, none: unset [HLM3200XE with a kind-5 module,
                         else HLM3100XE]
  --no-model             the same as --model=none
  --hw-info=TEXT         READER_HW_INFO, none: unset [engine digit, '-', '1' with a
                         module else '0']
                         (also --hw, as readerctl once spelt it)
  --serial=TEXT          READER_SERIAL_NUMBER, none: unset [SIM3100XE0001]
  --no-serial            the same as --serial=none
  --variant=BYTE         SSI revision variant byte: one character (P, G) or a
                         number (0x00, 0x07) [P for kind 3, G for kind 4]
  --engine-speed=BPS     SSI engine speed at power-up: 9600, 38400, 115200 [9600]
  --block-length=N       kind-2 configuration block length in bytes [32]
  --module-version=V     kind-5 version: multiiso (MultiISO 1.0) or iso09v (ISO 0.9v) [multiiso]
  --speed-answer=A       kind-5 answer to the speed change: accept, F or R [accept]
  --module-speed=BPS     kind-5 speed at power-up: 9600 to 115200 [9600]
  --no-tag-answer=TEXT   kind-5 answer to "s" with no tag in the field; empty:
                         none, the next tag placed is reported [N]
  --tag=FAMILY:UID[:DATAHEX[:KEY]]
                         put a tag in the RFID module's field (repeatable; see
                         the tag commands below)
  --pacing               send answers at the real byte time of the line speed
                         (also --pace)
  --barcode=SYMBOLOGY:DATA
                         queue one decode (repeatable; see the commands below)
  --steady=SYMBOLOGY:DATA
                         keep a barcode in view whenever the queue is empty
  --decode-delay=MS      wait between switch-on and decode [0]
  --repeat-interval=MS   least time between two decodes of a kind-2 engine that
                         triggers itself (trigger modes 1, 5, 7) [100]
  --log                  print all traffic to standard error as it happens
  --daemon               print the environment, then go on in the background:
                           eval "$(reader-sim --daemon ...)"; ... kill $READER_SIM_PID
                         (standard input is not read; command output goes to
                         standard error, which only --log keeps)
  --version              print the version
  --help                 show this help

An option's value follows '=' or comes as the next word (--engine 3).

Run-time commands, one per line, on standard input (while in the foreground)
and on the FIFO named by READER_SIM_CONTROL (only this user may open it;
removed on exit), e.g.  echo 'barcode ean13:4006381333931' > "$READER_SIM_CONTROL"
A bad command gets a one-line error on standard error and changes nothing.

)usage";

const char kExample[] = R"usage(
Example:
  reader-sim --engine=4 --module=5 --log > sim.env &
  reader-sim --module=6 --tag=ti:E00700001234ABCD:00112233
)usage";

struct Arguments {
  TerminalConfig config;
  bool log = false;
  bool daemon = false;
};

void printUsage() { std::cout << kUsage << readersim::ControlCommands::help() << kExample; }

// The help's line for `option` ("--engine"), or the usage line when the
// problem is not one option's.
std::string relevantUsageLine(const std::string &option) {
  const std::string_view help = kUsage;
  for (const char after : {'=', ' '}) {
    const std::size_t at = option.empty() ? std::string_view::npos : help.find("\n  " + option + after);
    if (at != std::string_view::npos) return std::string(help.substr(at + 1, help.find('\n', at + 1) - at));
  }
  return "usage: reader-sim [OPTION]...\n";
}

// One line for the problem, one for the usage it concerns: not the whole
// help.
// An identity text as readerctl takes it too: "none" leaves the variable unset.
IdentityText identityOption(const char *value) {
  return std::string_view(value) == "none" ? IdentityText::unset() : IdentityText::given(value);
}

[[noreturn]] void usageError(const std::string &message, const std::string &option = {}) {
  std::cerr << "reader-sim: " << message << "\n" << relevantUsageLine(option) << "see 'reader-sim --help'\n";
  std::exit(2);
}

int parseInt(const char *text, const char *option) {
  char *end = nullptr;
  long value = std::strtol(text, &end, 0);
  if (end == text || *end != '\0' || value < 0 || value > 1'000'000) {
    usageError(std::string("bad number for ") + option + ": " + text, option);
  }
  return static_cast<int>(value);
}

readersim::Barcode parseBarcodeOption(const char *text, const char *option) {
  auto parsed = readersim::parseBarcode(text);
  if (!parsed) usageError(std::string(option) + ": " + parsed.error, option);
  return std::move(*parsed.barcode);
}

std::uint8_t parseVariant(const char *text) {
  if (std::strlen(text) == 1) return static_cast<std::uint8_t>(text[0]);
  int value = parseInt(text, "--variant");
  if (value > 0xFF) usageError("--variant must be one byte", "--variant");
  return static_cast<std::uint8_t>(value);
}

// The option word as given, without a value after '='.
std::string optionWord(const char *arg) {
  const std::string word = arg;
  return word.substr(0, word.find('='));
}

Arguments parseArguments(int argc, char **argv) {
  enum Option {
    kEngine = 1,
    kModule,
    kModel,
    kNoModel,
    kHwInfo,
    kSerial,
    kNoSerial,
    kVariant,
    kEngineSpeed,
    kBlockLength,
    kModuleVersion,
    kSpeedAnswer,
    kModuleSpeed,
    kPacing,
    kLog,
    kDaemon,
    kHelp,
    kBarcode,
    kSteady,
    kDecodeDelay,
    kRepeatInterval,
    kTag,
    kNoTagAnswer,
    kVersion
  };
  // clang-format off
  static const option kOptions[] = {
      {"engine", required_argument, nullptr, kEngine},
      {"module", required_argument, nullptr, kModule},
      {"model", required_argument, nullptr, kModel},
      {"no-model", no_argument, nullptr, kNoModel},
      {"hw-info", required_argument, nullptr, kHwInfo},
      {"hw", required_argument, nullptr, kHwInfo},
      {"serial", required_argument, nullptr, kSerial},
      {"no-serial", no_argument, nullptr, kNoSerial},
      {"variant", required_argument, nullptr, kVariant},
      {"engine-speed", required_argument, nullptr, kEngineSpeed},
      {"block-length", required_argument, nullptr, kBlockLength},
      {"module-version", required_argument, nullptr, kModuleVersion},
      {"speed-answer", required_argument, nullptr, kSpeedAnswer},
      {"module-speed", required_argument, nullptr, kModuleSpeed},
      {"pacing", no_argument, nullptr, kPacing},
      {"pace", no_argument, nullptr, kPacing},
      {"barcode", required_argument, nullptr, kBarcode},
      {"steady", required_argument, nullptr, kSteady},
      {"decode-delay", required_argument, nullptr, kDecodeDelay},
      {"repeat-interval", required_argument, nullptr, kRepeatInterval},
      {"tag", required_argument, nullptr, kTag},
      {"no-tag-answer", required_argument, nullptr, kNoTagAnswer},
      {"log", no_argument, nullptr, kLog},
      {"daemon", no_argument, nullptr, kDaemon},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  // clang-format on

  Arguments args;
  auto &config = args.config;
  // The same terminal as readerctl's built-in one by default.
  config.engineKind = 2;
  // Problems are reported here, in one line each.
  opterr = 0;
  int option;
  while ((option = getopt_long(argc, argv, ":", kOptions, nullptr)) != -1) {
    switch (option) {
      case kEngine:
        config.engineKind = parseInt(optarg, "--engine");
        if (config.engineKind != 0 && (config.engineKind < 2 || config.engineKind > 4))
          usageError("--engine must be 0, 2, 3 or 4", "--engine");
        break;
      case kModule:
        config.moduleKind = parseInt(optarg, "--module");
        if (config.moduleKind != 0 && config.moduleKind != 5 && config.moduleKind != 6)
          usageError("--module must be 0, 5 or 6", "--module");
        break;
      case kModel: config.model = identityOption(optarg); break;
      case kNoModel: config.model = IdentityText::unset(); break;
      case kHwInfo: config.hardwareInfo = identityOption(optarg); break;
      case kSerial: config.serialNumber = identityOption(optarg); break;
      case kNoSerial: config.serialNumber = IdentityText::unset(); break;
      case kVariant: config.ssiEngine.variantByte = parseVariant(optarg); break;
      case kEngineSpeed: config.ssiEngine.startSpeed = parseInt(optarg, "--engine-speed"); break;
      case kBlockLength: {
        int length = parseInt(optarg, "--block-length");
        if (length < 1 || length > 255) usageError("--block-length must be 1 to 255", "--block-length");
        config.textEngine.block = readersim::TextEngine::defaultBlock(static_cast<std::size_t>(length));
        break;
      }
      case kModuleVersion:
        if (std::strcmp(optarg, "multiiso") == 0) {
          config.asciiModule.version = AsciiModule::Version::MultiIso10;
        } else if (std::strcmp(optarg, "iso09v") == 0) {
          config.asciiModule.version = AsciiModule::Version::Iso09v;
        } else {
          usageError("--module-version must be multiiso or iso09v", "--module-version");
        }
        break;
      case kSpeedAnswer:
        if (std::strcmp(optarg, "accept") == 0) {
          config.asciiModule.speedChangeAnswer = AsciiModule::SpeedChangeAnswer::Accept;
        } else if (std::strcmp(optarg, "F") == 0) {
          config.asciiModule.speedChangeAnswer = AsciiModule::SpeedChangeAnswer::Fail;
        } else if (std::strcmp(optarg, "R") == 0) {
          config.asciiModule.speedChangeAnswer = AsciiModule::SpeedChangeAnswer::Refuse;
        } else {
          usageError("--speed-answer must be accept, F or R", "--speed-answer");
        }
        break;
      case kModuleSpeed: config.asciiModule.startSpeed = parseInt(optarg, "--module-speed"); break;
      case kPacing: config.pacing = true; break;
      case kBarcode: config.barcodes.push_back(parseBarcodeOption(optarg, "--barcode")); break;
      case kSteady: config.steadyBarcode = parseBarcodeOption(optarg, "--steady"); break;
      case kDecodeDelay: config.decodeDelay = std::chrono::milliseconds(parseInt(optarg, "--decode-delay")); break;
      case kRepeatInterval: {
        int interval = parseInt(optarg, "--repeat-interval");
        if (interval < 1) usageError("--repeat-interval must be at least 1", "--repeat-interval");
        config.repeatInterval = std::chrono::milliseconds(interval);
        break;
      }
      case kTag: {
        auto parsed = readersim::parseTag(optarg);
        if (!parsed) usageError("--tag: " + parsed.error, "--tag");
        config.tags.push_back(std::move(*parsed.tag));
        break;
      }
      case kNoTagAnswer: config.asciiModule.noTagAnswer = optarg; break;
      case kLog: args.log = true; break;
      case kDaemon: args.daemon = true; break;
      case kHelp: printUsage(); std::exit(0);
      case kVersion: std::cout << "reader-sim " << READER_TOOLS_VERSION << "\n"; std::exit(0);
      case ':': usageError(optionWord(argv[optind - 1]) + " needs a value", optionWord(argv[optind - 1]));
      default:
        // optopt names an option given a value it does not take.
        if (optopt != 0 && std::strncmp(argv[optind - 1], "--", 2) == 0)
          usageError(optionWord(argv[optind - 1]) + " takes no value", optionWord(argv[optind - 1]));
        usageError("unknown option " + optionWord(argv[optind - 1]));
    }
  }
  if (optind < argc) usageError(std::string("unexpected argument: ") + argv[optind]);
  return args;
}

// Single quotes keep any text literal for the shell.
std::string shellQuoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string environmentLines(const readersim::Terminal &terminal, const readersim::ControlFifo &control,
                             std::optional<pid_t> daemonPid) {
  std::string lines;
  for (const auto &entry : terminal.environment()) {
    if (entry.value) {
      lines += "export " + entry.name + "=" + shellQuoted(*entry.value) + "\n";
    } else {
      lines += "unset " + entry.name + "\n";
    }
  }
  lines += "export READER_SIM_CONTROL=" + shellQuoted(control.path()) + "\n";
  if (daemonPid) lines += "export READER_SIM_PID=" + std::to_string(*daemonPid) + "\n";
  return lines;
}

void attachLog(readersim::PtyDevice *device, const char *port, std::mutex &printMutex) {
  if (device == nullptr) return;
  std::string label = std::string(port) + " kind " + std::to_string(device->kind());
  device->log().setListener([label, &printMutex](const readersim::TrafficRecord &record) {
    std::lock_guard lock(printMutex);
    std::fprintf(stderr, "%s %s\n", label.c_str(), readersim::describe(record).c_str());
    std::fflush(stderr);
  });
}

int runTerminal(const Arguments &args, int readyFd) {
  // Blocked before the device threads start, so they inherit the mask and
  // only sigwait below sees the signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // Run in the background of a shell, reading the terminal then fails
  // instead of stopping the whole simulator; standard input is then no
  // longer read.
  signal(SIGTTIN, SIG_IGN);
  // A reader of standard output that went away must not end the simulator.
  signal(SIGPIPE, SIG_IGN);

  std::mutex printMutex;
  std::optional<readersim::Terminal> terminal;
  try {
    terminal.emplace(args.config);
  } catch (const std::exception &error) {
    std::cerr << "reader-sim: " << error.what() << "\n";
    return 1;
  }
  if (args.log) {
    attachLog(terminal->engine(), "COM1", printMutex);
    attachLog(terminal->module(), "COM2", printMutex);
  }

  std::optional<readersim::ControlFifo> control;
  try {
    control.emplace();
  } catch (const std::exception &error) {
    std::cerr << "reader-sim: " << error.what() << "\n";
    return 1;
  }
  readersim::ControlCommands commands(*terminal);
  // Without a terminal of its own to talk to, command output goes where
  // --log output goes.
  FILE *output = args.daemon ? stderr : stdout;
  auto print = [&](FILE *stream, const std::string &text) {
    std::lock_guard lock(printMutex);
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
  };
  std::string lines =
      environmentLines(*terminal, *control, args.daemon ? std::optional<pid_t>(getpid()) : std::nullopt);
  if (readyFd >= 0) {
    ssize_t written = write(readyFd, lines.data(), lines.size());
    (void)written;  // the parent reports a short hand-over
    close(readyFd);
  } else {
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
  }

  // Commands are taken once the environment is out, so that their output
  // never comes before it.
  std::vector<int> inputs{control->fd()};
  if (!args.daemon) inputs.push_back(STDIN_FILENO);
  std::optional<readersim::ControlInput> input;
  try {
    input.emplace(
        inputs,
        [&](std::string_view line) {
          readersim::CommandResult result = commands.run(line);
          if (result.ok) {
            if (!result.text.empty()) print(output, result.text);
          } else {
            print(stderr, "reader-sim: " + result.text + "\n");
          }
        },
        [&](std::string_view message) { print(stderr, "reader-sim: " + std::string(message) + "\n"); });
  } catch (const std::exception &error) {
    print(stderr, std::string("reader-sim: commands cannot be read: ") + error.what() + "\n");
  }

  int stopSignal = 0;
  sigwait(&stopSignals, &stopSignal);
  // The command input stops first, then the FIFO goes, then the devices
  // stop and join their threads.
  return 0;
}

// The parent prints what the child hands over, so the shell's command
// substitution ends while the child runs on.
int runDaemon(const Arguments &args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    std::perror("reader-sim: pipe");
    return 1;
  }
  pid_t child = fork();
  if (child < 0) {
    std::perror("reader-sim: fork");
    return 1;
  }
  if (child == 0) {
    close(pipeFds[0]);
    setsid();
    if (FILE *null = std::freopen("/dev/null", "w", stdout); null == nullptr) return 1;
    if (!args.log) std::freopen("/dev/null", "w", stderr);
    return runTerminal(args, pipeFds[1]);
  }
  close(pipeFds[1]);
  std::string lines;
  char buffer[512];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) lines.append(buffer, static_cast<std::size_t>(n));
  close(pipeFds[0]);
  if (lines.empty()) {
    int status = 0;
    waitpid(child, &status, 0);
    std::cerr << "reader-sim: the simulator did not start\n";
    return 1;
  }
  std::fputs(lines.c_str(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  Arguments args = parseArguments(argc, argv);
  return args.daemon ? runDaemon(args) : runTerminal(args, -1);
}
