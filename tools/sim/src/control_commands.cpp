#include "readersim/control_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>

#include "readersim/symbology.h"

namespace readersim {
namespace {

enum class Argument { None, Required };

struct Command {
  std::string_view name;
  Argument argument;
  std::string_view synopsis;  // what follows the name in the help
  std::string_view summary;
  CommandResult (*handler)(const Terminal &terminal, std::string_view argument);
};

CommandResult done(std::string text = {}) { return {true, std::move(text)}; }
CommandResult failed(std::string error) { return {false, std::move(error)}; }
CommandResult outcomeOf(const std::optional<std::string> &error) { return error ? failed(*error) : done(); }

std::optional<Barcode> parseArgument(std::string_view text, std::string &error) {
  auto parsed = parseBarcode(text);
  if (parsed) return std::move(parsed.barcode);
  error = parsed.error;
  if (error.starts_with("unknown symbology")) error += "; try 'symbologies'";
  return std::nullopt;
}

CommandResult presentBarcode(const Terminal &terminal, std::string_view argument) {
  std::string error;
  auto barcode = parseArgument(argument, error);
  if (!barcode) return failed(error);
  return outcomeOf(terminal.presentBarcode(std::move(*barcode)));
}

CommandResult setSteady(const Terminal &terminal, std::string_view argument) {
  if (argument == "off") return outcomeOf(terminal.setSteadyBarcode(std::nullopt));
  std::string error;
  auto barcode = parseArgument(argument, error);
  if (!barcode) return failed(error);
  return outcomeOf(terminal.setSteadyBarcode(std::move(*barcode)));
}

CommandResult presentNoRead(const Terminal &terminal, std::string_view) { return outcomeOf(terminal.presentNoRead()); }

CommandResult presentSilence(const Terminal &terminal, std::string_view) {
  return outcomeOf(terminal.presentSilence());
}

CommandResult clearPresented(const Terminal &terminal, std::string_view) {
  return outcomeOf(terminal.clearPresented());
}

std::string portState(const PtyDevice &device) {
  return "kind " + std::to_string(device.kind()) + ", " + device.portPath() +
         (device.hostOpen() ? ", open" : ", closed") + " by the host, " + std::to_string(device.speed()) + " bit/s";
}

std::string engineStatus(const BarcodeEngine &engine) {
  std::string text = "engine: " + portState(engine) + "\n";
  text += "  scanning: ";
  text += engine.scanning() ? "on" : "off";
  if (engine.cycleOpen()) text += ", a scan waits for its decode";
  if (const auto *textEngine = dynamic_cast<const TextEngine *>(&engine)) {
    text += ", trigger mode " + std::to_string(TextEngine::triggerMode(textEngine->block()));
    if (engine.selfTriggered()) text += " (triggers itself)";
  }
  if (const auto *ssiEngine = dynamic_cast<const SsiEngine *>(&engine); ssiEngine && ssiEngine->aiming()) {
    text += ", aiming";
  }
  text += "\n  queued:";
  auto queued = engine.presented();
  if (queued.empty()) text += " nothing";
  for (const ScanOutcome &outcome : queued) text += " " + describe(outcome);
  auto steady = engine.steadyBarcode();
  text += "\n  steady: " + (steady ? formatBarcode(*steady) : std::string("off"));
  text += "\n  decodes: " + std::to_string(engine.decodesSent()) + " sent";
  if (dynamic_cast<const SsiEngine *>(&engine) != nullptr) {
    text += ", " + std::to_string(engine.decodesAcknowledged()) + " acknowledged";
  }
  text += ", " + std::to_string(engine.decodesDropped()) + " dropped by a switch-off\n";
  return text;
}

CommandResult status(const Terminal &terminal, std::string_view) {
  std::string text;
  if (const BarcodeEngine *engine = terminal.barcodeEngine()) {
    text += engineStatus(*engine);
  } else {
    text += "engine: none\n";
  }
  text += terminal.module() != nullptr ? "module: " + portState(*terminal.module()) + "\n" : "module: none\n";
  return done(std::move(text));
}

CommandResult showHelp(const Terminal &, std::string_view) { return done(ControlCommands::help()); }

CommandResult listSymbologies(const Terminal &, std::string_view) {
  std::string text = "name             kind-2 letter  SSI type\n";
  for (const SymbologyEntry &entry : symbologyTable()) {
    char line[64];
    std::snprintf(line, sizeof line, "%-16.*s %-14s %s\n", static_cast<int>(entry.name.size()), entry.name.data(),
                  entry.letter != 0 ? std::string(1, entry.letter).c_str() : "-",
                  entry.ssiType >= 0 ? std::to_string(entry.ssiType).c_str() : "-");
    text += line;
  }
  text += "raw forms: letter=X (kind-2 letter X), ssi=N (SSI type N)\n";
  return done(std::move(text));
}

constexpr Command kCommands[] = {
    {"barcode", Argument::Required, "SYMBOLOGY:DATA", "queue one decode", presentBarcode},
    {"steady", Argument::Required, "SYMBOLOGY:DATA|off", "keep a barcode in view when the queue is empty", setSteady},
    {"noread", Argument::None, "", "queue a scan that reads nothing", presentNoRead},
    {"silence", Argument::None, "", "queue a scan that sends nothing at all", presentSilence},
    {"clear", Argument::None, "", "empty the queue (the steady barcode stays)", clearPresented},
    {"status", Argument::None, "", "show the queue and what the devices are doing", status},
    {"symbologies", Argument::None, "", "list the symbology names", listSymbologies},
    {"help", Argument::None, "", "show this list", showHelp},
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool sameWord(std::string_view typed, std::string_view name) {
  return typed.size() == name.size() && std::equal(typed.begin(), typed.end(), name.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// Keeps an error line readable whatever was typed.
std::string printable(std::string_view text) {
  std::string shown;
  for (char c : text.substr(0, 40)) shown += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  if (text.size() > 40) shown += "...";
  return shown;
}

}  // namespace

CommandResult ControlCommands::run(std::string_view line) const noexcept {
  try {
    line = trimmed(line);
    if (line.empty() || line.front() == '#') return done();
    std::size_t wordEnd = std::min(line.find_first_of(" \t"), line.size());
    std::string_view word = line.substr(0, wordEnd);
    std::string_view argument = trimmed(line.substr(wordEnd));
    for (const Command &command : kCommands) {
      if (!sameWord(word, command.name)) continue;
      if (command.argument == Argument::None && !argument.empty()) {
        return failed(std::string(command.name) + " takes no argument");
      }
      if (command.argument == Argument::Required && argument.empty()) {
        return failed(std::string(command.name) + " needs " + std::string(command.synopsis) + "; try 'help'");
      }
      return command.handler(terminal_, argument);
    }
    return failed("unknown command '" + printable(word) + "'; try 'help'");
  } catch (const std::exception &error) {
    return failed(error.what());
  } catch (...) {
    return failed("the command failed");
  }
}

std::string ControlCommands::help() {
  std::string text;
  for (const Command &command : kCommands) {
    std::string usage = std::string(command.name);
    if (!command.synopsis.empty()) usage += " " + std::string(command.synopsis);
    usage.resize(std::max<std::size_t>(usage.size() + 2, 32), ' ');
    text += "  " + usage + std::string(command.summary) + "\n";
  }
  text +=
      "SYMBOLOGY is a name from 'symbologies' (code39, code128, ean13, qr, ...) or\n"
      "letter=X / ssi=N; SYMBOLOGY/N:DATA sends an SSI decode in the multi-packet\n"
      "form in N segments. DATA runs to the end of the line and may be empty;\n"
      "escapes: \\\\ \\r \\n \\t \\e \\xHH (a space at the end must be \\x20).\n";
  return text;
}

}  // namespace readersim
