#include "readersim/control_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>

#include "readersim/hex_text.h"
#include "readersim/symbology.h"
#include "readersim/tag_text.h"

namespace readersim {
namespace {

enum class Argument { None, Required };

struct Command {
  std::string_view name;  // one word, or a group word and one more ("tag place")
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

std::string fieldSummary(const Terminal &terminal) {
  std::string text = "  field:";
  auto tags = terminal.tags();
  if (tags.empty()) text += " empty";
  for (const SimTag &tag : tags) text += " " + formatTag(tag);
  return text + "\n";
}

CommandResult status(const Terminal &terminal, std::string_view) {
  std::string text;
  if (const BarcodeEngine *engine = terminal.barcodeEngine()) {
    text += engineStatus(*engine);
  } else {
    text += "engine: none\n";
  }
  if (terminal.module() != nullptr) {
    text += "module: " + portState(*terminal.module()) + "\n" + fieldSummary(terminal);
  } else {
    text += "module: none\n";
  }
  return done(std::move(text));
}

// --- tags -------------------------------------------------------------------------

std::optional<std::vector<std::uint8_t>> uidArgument(std::string_view text, std::string &error) {
  auto uid = parseUid(text);
  if (!uid) error = "a UID is hexadecimal digits, two per byte";
  return uid;
}

CommandResult placeTag(const Terminal &terminal, std::string_view argument) {
  TagParse parsed = parseTag(argument);
  if (!parsed) return failed(parsed.error);
  std::string note;
  if (terminal.hexModule() != nullptr && parsed.tag->info().protocol == AirProtocol::None) {
    note = "note: a kind-6 module does not see " + std::string(parsed.tag->info().name) + " tags\n";
  }
  if (auto error = terminal.placeTag(std::move(*parsed.tag))) return failed(*error);
  return done(std::move(note));
}

CommandResult removeTag(const Terminal &terminal, std::string_view argument) {
  std::string error;
  auto uid = uidArgument(argument, error);
  if (!uid) return failed(error);
  return outcomeOf(terminal.removeTag(*uid));
}

CommandResult clearTags(const Terminal &terminal, std::string_view) { return outcomeOf(terminal.clearTags()); }

std::string tagHeading(const SimTag &tag) {
  return formatTag(tag) + "  TagType " + std::to_string(tag.tagType()) + ", " + std::to_string(tag.blockCount()) +
         " blocks of " + std::to_string(tag.blockSize()) + " bytes";
}

CommandResult showTag(const Terminal &terminal, std::string_view argument) {
  std::string error;
  auto uid = uidArgument(argument, error);
  if (!uid) return failed(error);
  if (terminal.rfidModule() == nullptr) return failed("no RFID module is fitted");
  auto tag = terminal.tag(*uid);
  if (!tag) return failed("no tag " + toHexText(*uid) + " in the field");
  std::string text = tagHeading(*tag);
  if (tag->family() == TagFamily::TagIt) text += ", information byte " + toHexText(std::vector{tag->tagitInfo()});
  if (tag->info().protocol == AirProtocol::Iso15693) {
    text += ", response flags " + toHexText(std::vector{tag->responseFlags()});
  }
  text += "\n";
  for (int block = 0; block < tag->blockCount(); ++block) {
    char number[16];
    std::snprintf(number, sizeof number, "  %3d  ", block);
    text += number + toHexText(*tag->block(block));
    if (tag->isSectorTrailer(block)) text += "  trailer, key '" + tag->sectorKey(block / 4) + "'";
    if (tag->readOnly(block)) text += "  read-only";
    text += "\n";
  }
  return done(std::move(text));
}

CommandResult listTags(const Terminal &terminal, std::string_view) {
  if (terminal.rfidModule() == nullptr) return failed("no RFID module is fitted");
  auto tags = terminal.tags();
  if (tags.empty()) return done("the field is empty\n");
  std::string text;
  for (const SimTag &tag : tags) text += tagHeading(tag) + "\n";
  return done(std::move(text));
}

CommandResult listTagFamilies(const Terminal &, std::string_view) {
  std::string text = "name             TagType  kind-5 line    UID bytes  blocks      kind-6 protocol\n";
  for (const TagFamilyInfo &info : tagFamilyTable()) {
    std::string name(info.name);
    if (!info.alias.empty()) name += "/" + std::string(info.alias);
    std::string line(1, info.letter);
    if (info.manufacturerCode) line += "E0" + toHexText(std::vector{*info.manufacturerCode}) + "...";
    std::string uid = std::to_string(info.uidLengths[0]);
    if (info.uidLengths[1] != info.uidLengths[0]) uid += " or " + std::to_string(info.uidLengths[1]);
    std::string blocks = std::to_string(info.blockCount) + " x " + std::to_string(info.blockSize);
    const char *protocol = info.protocol == AirProtocol::Iso14443A   ? "ISO 14443 A"
                           : info.protocol == AirProtocol::Iso14443B ? "ISO 14443 B"
                           : info.protocol == AirProtocol::TagIt     ? "Tag-it"
                           : info.protocol == AirProtocol::Iso15693  ? "ISO 15693"
                                                                     : "-";
    char row[160];
    std::snprintf(row, sizeof row, "%-16s %-8d %-14s %-10s %-11s %s\n", name.c_str(), static_cast<int>(info.family),
                  line.c_str(), uid.c_str(), blocks.c_str(), protocol);
    text += row;
  }
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
    {"tag place", Argument::Required, "FAMILY:UID[:DATAHEX[:KEY]]", "put a tag in the RFID module's field", placeTag},
    {"tag remove", Argument::Required, "UID", "take a tag out of the field", removeTag},
    {"tag clear", Argument::None, "", "take every tag out of the field", clearTags},
    {"tag show", Argument::Required, "UID", "show a tag's memory block by block", showTag},
    {"tag list", Argument::None, "", "list the tags in the field", listTags},
    {"tag families", Argument::None, "", "list the tag family names", listTagFamilies},
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

// The first word of `text`; `text` keeps the rest, trimmed.
std::string_view takeWord(std::string_view &text) {
  std::size_t end = std::min(text.find_first_of(" \t"), text.size());
  std::string_view word = text.substr(0, end);
  text = trimmed(text.substr(end));
  return word;
}

// Whether the line starts with the command's words; `argument` gets the rest.
bool matches(const Command &command, std::string_view line, std::string_view &argument) {
  std::string_view name = command.name;
  while (!name.empty()) {
    if (!sameWord(takeWord(line), takeWord(name))) return false;
  }
  argument = line;
  return true;
}

// Keeps an error line readable whatever was typed.
std::string printable(std::string_view text) {
  std::string shown;
  for (char c : text.substr(0, 40)) shown += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  if (text.size() > 40) shown += "...";
  return shown;
}

// "tag needs ..." when `word` starts a group of commands; empty otherwise.
std::string groupUsage(std::string_view word) {
  std::string_view group;
  std::vector<std::string_view> next;
  for (const Command &command : kCommands) {
    std::string_view rest = command.name;
    std::string_view first = takeWord(rest);
    if (!sameWord(word, first) || rest.empty()) continue;
    group = first;
    next.push_back(rest);
  }
  if (next.empty()) return {};
  std::string usage = std::string(group) + " needs ";
  for (std::size_t i = 0; i < next.size(); ++i) {
    if (i != 0) usage += i + 1 == next.size() ? " or " : ", ";
    usage += next[i];
  }
  return usage;
}

}  // namespace

CommandResult ControlCommands::run(std::string_view line) const noexcept {
  try {
    line = trimmed(line);
    if (line.empty() || line.front() == '#') return done();
    for (const Command &command : kCommands) {
      std::string_view argument;
      if (!matches(command, line, argument)) continue;
      if (command.argument == Argument::None && !argument.empty()) {
        return failed(std::string(command.name) + " takes no argument");
      }
      if (command.argument == Argument::Required && argument.empty()) {
        return failed(std::string(command.name) + " needs " + std::string(command.synopsis) + "; try 'help'");
      }
      return command.handler(terminal_, argument);
    }
    std::string_view rest = line;
    std::string_view word = takeWord(rest);
    if (std::string usage = groupUsage(word); !usage.empty()) return failed(usage + "; try 'help'");
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
      "escapes: \\\\ \\r \\n \\t \\e \\xHH (a space at the end must be \\x20).\n"
      "FAMILY is a name from 'tag families' (mifare, icode, tagit, iso15693, ...);\n"
      "UID and DATAHEX are hexadecimal. DATAHEX fills memory from the family's\n"
      "first data block (Mifare trailers passed over); KEY (mifare only) is every\n"
      "sector's login key text, the empty text without it.\n";
  return text;
}

}  // namespace readersim
