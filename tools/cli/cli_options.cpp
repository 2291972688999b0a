#include "cli_options.h"

#include <readersim/tag_family.h>
#include <readersim/tag_text.h>

#include <algorithm>
#include <iterator>

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

// The options that only serve the built-in simulated terminal, as spelt by
// hand and in their reader-sim spelling (--hw-info, --pacing).
bool isSimulatorOption(const std::string &name) {
  static const char *const kNames[] = {"--traffic",      "--pace",   "--pacing", "--engine",  "--module",
                                       "--engine-speed", "--model",  "--hw",     "--hw-info", "--serial",
                                       "--barcode",      "--steady", "--tag"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// The options that take a value.
bool takesValue(const std::string &name) {
  static const char *const kNames[] = {"--engine", "--module",  "--engine-speed", "--model", "--hw",     "--hw-info",
                                       "--serial", "--barcode", "--steady",       "--tag",   "--readerd"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
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
    // "--engine=3" is "--engine" with the value "3".
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    if (options.command.empty() && arg.starts_with("--") && arg.find('=') != std::string::npos) {
      inlineValue = arg.substr(arg.find('=') + 1);
      arg.resize(arg.find('='));
      if (!takesValue(arg)) {
        error = isSimulatorOption(arg) || arg == "--ex" || arg == "--trace" || arg == "--help" || arg == "--version"
                    ? arg + " takes no value"
                    : "unknown option " + arg;
        return std::nullopt;
      }
    }
    auto value = [&](const char *name) -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
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
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--ex") {
      options.useInitReaderEx = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--traffic") {
      options.traffic = true;
    } else if (arg == "--pacing" || arg == "--pace") {
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
    } else if (arg == "--hw-info" || arg == "--hw") {
      if (!(options.hardwareInfo = value(arg.c_str()))) return std::nullopt;
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
    } else if (arg == "--readerd") {
      if (!(options.readerdSocket = value("--readerd"))) return std::nullopt;
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

}  // namespace readerctl
