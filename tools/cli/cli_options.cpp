#include "cli_options.h"

#include <algorithm>
#include <iterator>
#include <ostream>

#include <readersim/tag_family.h>
#include <readersim/tag_text.h>

namespace readerctl {

namespace {

// "--tag: " and why `text` is not a tag. The simulator's own message for an
// unknown family points to a command readerctl does not have: list the
// names instead.
std::string tagProblem(const std::string &text, const std::string &parseError) {
  const std::string family = text.substr(0, text.find(':'));
  if (text.find(':') == std::string::npos || readersim::findTagFamily(family)) return "--tag: " + parseError;
  std::string names;
  for (const readersim::TagFamilyInfo &info : readersim::tagFamilyTable())
    names += (names.empty() ? "" : ", ") + std::string(info.name);
  return "--tag: unknown tag family '" + family + "'; the families are " + names;
}

// The options that only configure the built-in simulated terminal.
bool isSimulatorOption(const std::string &arg) {
  static const char *const kNames[] = {"--traffic", "--pace",  "--engine", "--module", "--engine-speed", "--model",
                                       "--hw",      "--serial", "--barcode", "--steady", "--tag"};
  return std::find(std::begin(kNames), std::end(kNames), arg) != std::end(kNames);
}

bool parseInt(const std::string &text, int &value) {
  try {
    std::size_t used = 0;
    value = std::stoi(text, &used, 0);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

}  // namespace

std::optional<CliOptions> parseOptions(int argc, char **argv, std::string &error) {
  CliOptions options;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    auto value = [&](const char *name) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    auto number = [&](const char *name, int &out) {
      const auto text = value(name);
      if (!text) return false;
      if (!parseInt(*text, out)) {
        error = std::string(name) + ": not a number: " + *text;
        return false;
      }
      return true;
    };
    std::vector<std::string> &simulator = options.simulatorOptions;
    if (options.command.empty() && isSimulatorOption(arg) &&
        std::find(simulator.begin(), simulator.end(), arg) == simulator.end()) {
      simulator.push_back(arg);
    }
    if (!options.command.empty()) {
      options.arguments.push_back(arg);
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--ex") {
      options.useInitReaderEx = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--traffic") {
      options.traffic = true;
    } else if (arg == "--pace") {
      options.pacing = true;
    } else if (arg == "--engine") {
      if (!number("--engine", options.engineKind)) return std::nullopt;
      if (options.engineKind != 0 && (options.engineKind < 2 || options.engineKind > 4)) {
        error = "--engine: the engine kind is 0 (none), 2, 3 or 4";
        return std::nullopt;
      }
    } else if (arg == "--module") {
      if (!number("--module", options.moduleKind)) return std::nullopt;
      if (options.moduleKind != 0 && options.moduleKind != 5 && options.moduleKind != 6) {
        error = "--module: the module kind is 0 (none), 5 or 6";
        return std::nullopt;
      }
    } else if (arg == "--engine-speed") {
      if (!number("--engine-speed", options.engineStartSpeed)) return std::nullopt;
    } else if (arg == "--model") {
      if (!(options.model = value("--model"))) return std::nullopt;
    } else if (arg == "--hw") {
      if (!(options.hardwareInfo = value("--hw"))) return std::nullopt;
    } else if (arg == "--barcode" || arg == "--steady") {
      const auto text = value(arg.c_str());
      if (!text) return std::nullopt;
      readersim::BarcodeParse parsed = readersim::parseBarcode(*text);
      if (!parsed) {
        error = arg + ": " + parsed.error;
        return std::nullopt;
      }
      if (arg == "--barcode") {
        options.barcodes.push_back(std::move(*parsed.barcode));
      } else {
        options.steadyBarcode = std::move(parsed.barcode);
      }
    } else if (arg == "--tag") {
      const auto text = value("--tag");
      if (!text) return std::nullopt;
      readersim::TagParse parsed = readersim::parseTag(*text);
      if (!parsed) {
        error = tagProblem(*text, parsed.error);
        return std::nullopt;
      }
      options.tags.push_back(std::move(*parsed.tag));
    } else if (arg == "--serial") {
      if (!(options.serialNumber = value("--serial"))) return std::nullopt;
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      options.command = arg;
    }
  }
  return options;
}

void printUsage(std::ostream &out) {
  out << "usage: readerctl [options] <command> [arguments]\n"
         "\n"
         "commands:\n"
         "  info                      start the reader and print what it found\n"
         "  settings get [--json]     print the settings record as named fields\n"
         "  settings set NAME=VALUE.. change settings by name\n"
         "  settings reset [--mask N] reset the engine and options to their defaults\n"
         "  settings defaults         reset, then print the resulting record\n"
         "  scan [--json] [--timeout SECONDS]\n"
         "                            press the trigger, print the decode (exit 1: none\n"
         "                            within SECONDS, default 5)\n"
         "  watch [--json] [--count N]\n"
         "                            print every decode until Ctrl-C or N decodes\n"
         "  tag read [--uid] [--start N] [--length N] [--key K]\n"
         "                            read the tag in the field: its UID, or --length\n"
         "                            bytes (default 16) from byte --start (default -1:\n"
         "                            the family's first data block)\n"
         "  tag write --start N (--hex HEX | --text TEXT) [--key K]\n"
         "                            write bytes into the tag in the field\n"
         "  tag watch [--json] [--count N]\n"
         "                            print every tag trigger presses read until\n"
         "                            Ctrl-C or N tags\n"
         "\n"
         "options:\n"
         "  --ex                 start with InitReaderEx (probe the device kinds)\n"
         "  --trace              print every frame sent and received\n"
         "  --traffic            print the simulated devices' traffic log at the end\n"
         "\n"
         "With READER_COM1 and READER_COM2 both unset, readerctl starts a built-in\n"
         "simulated terminal (Linux only: on Windows the devices are always COM1 and\n"
         "COM2); these options choose it:\n"
         "  --engine KIND        barcode engine: 0 none, 2 text commands, 3 or 4 SSI (default 2)\n"
         "  --module KIND        RFID module: 0 none, 5 ASCII, 6 hex frames (default 6)\n"
         "  --model TEXT         model description, e.g. HLM3100XE; \"none\" leaves it unset\n"
         "  --hw TEXT            fitted-hardware text (default derived, e.g. 2-1); \"none\": unset\n"
         "  --serial TEXT        serial number\n"
         "  --engine-speed N     speed an SSI engine starts at (default 9600)\n"
         "  --pace               send simulated answers at the real byte time\n"
         "  --barcode SYMBOLOGY:DATA\n"
         "                       a barcode for the engine to decode, one per scan\n"
         "                       (repeatable), e.g. code128:ABC or ean13:4006381333931\n"
         "  --steady SYMBOLOGY:DATA\n"
         "                       a barcode in view whenever no --barcode is left\n"
         "  --tag FAMILY:UID[:DATAHEX[:KEY]]\n"
         "                       a tag in the RFID module's field (repeatable), e.g.\n"
         "                       mifare:04A1B2C3:48656C6C6F or icode:E00401A2B3C4D5E6\n"
         "\n"
         "A text engine in trigger mode 1, 5 or 7 (the simulated one leaves the factory\n"
         "in mode 1) triggers itself: scan and watch then wait for its decodes instead\n"
         "of pressing the trigger.\n";
}

}  // namespace readerctl
