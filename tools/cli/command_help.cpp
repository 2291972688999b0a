#include "command_help.h"

#include <3100XE_DLL.h>

#ifndef READER_TOOLS_VERSION
#  define READER_TOOLS_VERSION "unknown"
#endif

namespace readerctl {

namespace {

struct CommandEntry {
  const char *name;       // "scan", "tag read"
  const char *arguments;  // after the name on the usage line
  const char *summary;    // one line
  const char *details;    // its arguments and what it does, lines of their own
};

constexpr CommandEntry kCommands[] = {
    {"info", "[--json]", "start the reader and print what it found",
     "  --json               one JSON object instead of the lines\n"
     "Exit status 1 when the start failed (what was found is printed all the same).\n"},
    {"settings get", "[--json]", "print the settings record as NAME=VALUE lines",
     "  --json               one JSON object: each field's name and its value (a\n"
     "                       number, or a text for the text fields)\n"},
    {"settings set", "NAME=VALUE... [--json]", "change fields by name and show what the reader now holds",
     "  NAME=VALUE           a field and its new value ('readerctl settings get'\n"
     "                       lists the names of the fitted engine's fields)\n"
     "  --json               one JSON object: the changed fields as read back, and\n"
     "                       those the reader did not take\n"
     "The record is read, changed, written and read back: exit status 1 when the\n"
     "reader did not take a change.\n"},
    {"settings reset", "[--mask N]", "send the default set-up (ResetReaderToDefault)",
     "  --mask N             the devices: 1, 2 or 4 the engine, 32 the RFID module,\n"
     "                       255 both (the default); decimal or 0x hexadecimal\n"},
    {"settings defaults", "[--json]", "reset both devices, then print the record as get does",
     "  --json               one JSON object, as settings get --json\n"},
    {"scan", "[--json] [--timeout SECONDS] [--press | --no-press]", "press the trigger and print the decode",
     "  --json               one JSON object instead of the lines\n"
     "  --timeout SECONDS    how long to wait for a decode (default 5): exit status 1\n"
     "                       when nothing is decoded in that time\n"
     "  --press              press the trigger for the user, on any terminal\n"
     "  --no-press           never press it: wait for the user's press\n"},
    {"watch", "[--json] [--count N] [--press | --no-press]", "print every decode, one line each",
     "  --json               one JSON object per line\n"
     "  --count N            end after N decodes\n"
     "  --press, --no-press  as scan\n"
     "Ends with exit status 0 on Ctrl-C (SIGINT), SIGTERM, after N decodes, or when\n"
     "its output is closed (readerctl watch | head -1).\n"},
    {"tag read", "[--uid] [--start N] [--length N] [--key K] [--json]", "read the tag in the field",
     "  --uid                the type and UID only, no data\n"
     "  --start N            the first byte address; -1 (the default) is the tag\n"
     "                       family's first data block\n"
     "  --length N           bytes to read, 1 to 128 (default 16)\n"
     "  --key K              the Mifare sectors' login key text (default: empty)\n"
     "  --json               one JSON object instead of the lines\n"
     "Exit status 1 when no tag answers, or a tag gives none of the data asked for.\n"},
    {"tag write", "--start N (--hex HEX | --text TEXT) [--key K] [--json]", "write bytes into the tag in the field",
     "  --start N            the first byte address; -1 the family's first data block\n"
     "  --hex HEX            the bytes, two hexadecimal digits each (1 to 128 bytes)\n"
     "  --text TEXT          the bytes of TEXT (1 to 128)\n"
     "  --key K              the Mifare sectors' login key text (default: empty)\n"
     "  --json               one JSON object instead of the lines\n"
     "Exit status 1 when nothing was written.\n"},
    {"tag watch", "[--json] [--count N] [--press | --no-press]", "print every tag the trigger presses read",
     "  --json               one JSON object per line\n"
     "  --count N            end after N tags\n"
     "  --press, --no-press  as scan\n"
     "Ends as watch does.\n"},
    {"help", "[COMMAND]", "list the commands, or show one command's usage and options", ""},
};

constexpr const char *kMainUsage = "usage: readerctl [options] COMMAND [ARGUMENTS]\n";

constexpr const char *kOptions =
    "options:\n"
    "  --ex                 start with InitReaderEx (probe the device kinds)\n"
    "  --trace              print every frame sent and received\n"
    "  --traffic            print the simulated devices' traffic log at the end\n"
    "  --readerd PATH       run the command through the readerd serving the reader on\n"
    "                       the socket PATH (default: READERD_SOCKET; '' for none)\n"
    "  --version            print readerctl's version and the library's\n"
    "  --help               print all of this\n"
    "\n"
    "With READER_COM1 and READER_COM2 both unset, readerctl starts a built-in\n"
    "simulated terminal (Linux only: on Windows the devices are always COM1 and\n"
    "COM2); these options shape it, and are usage errors with real devices. They\n"
    "take their value as --engine 3 or --engine=3.\n"
    "  --engine KIND        barcode engine: 0 none, 2 text commands, 3 or 4 SSI (default 2)\n"
    "  --module KIND        RFID module: 0 none, 5 ASCII, 6 hex frames (default 6)\n"
    "  --model TEXT         model description, e.g. HLM3100XE; \"none\" leaves it unset\n"
    "  --hw-info TEXT       fitted-hardware text (default derived, e.g. 2-1); \"none\": unset\n"
    "                       (also --hw)\n"
    "  --serial TEXT        serial number; \"none\" leaves it unset\n"
    "  --engine-speed N     speed an SSI engine starts at (default 9600)\n"
    "  --pacing             send simulated answers at the real byte time (also --pace)\n"
    "  --barcode SYMBOLOGY:DATA\n"
    "                       a barcode for the engine to decode, one per scan\n"
    "                       (repeatable), e.g. code128:ABC or ean13:4006381333931\n"
    "  --steady SYMBOLOGY:DATA\n"
    "                       a barcode in view whenever no --barcode is left\n"
    "  --tag FAMILY:UID[:DATAHEX[:KEY]]\n"
    "                       a tag in the RFID module's field (repeatable), e.g.\n"
    "                       mifare:04A1B2C3:48656C6C6F or icode:E00401A2B3C4D5E6\n";

std::string usageLine(const CommandEntry &entry) {
  std::string line = std::string("readerctl [options] ") + entry.name;
  if (entry.arguments[0] != '\0') line += std::string(" ") + entry.arguments;
  return line;
}

std::string joined(const std::vector<std::string> &words) {
  std::string text;
  for (const std::string &word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

bool isSubcommandOf(const CommandEntry &entry, const std::string &command) {
  const std::string name = entry.name;
  return name.size() > command.size() && name.starts_with(command) && name[command.size()] == ' ';
}

// The entries `command` (with the first of `arguments`, if it names a
// sub-command) stands for: one, every sub-command's, or none.
std::vector<const CommandEntry *> entriesFor(const std::string &command, const std::vector<std::string> &arguments) {
  std::vector<const CommandEntry *> exact, subcommands;
  const std::string withSub = arguments.empty() ? command : command + " " + arguments.front();
  for (const CommandEntry &entry : kCommands) {
    if (entry.name == withSub || entry.name == command) exact.push_back(&entry);
    if (isSubcommandOf(entry, command)) subcommands.push_back(&entry);
  }
  // "tag read" before "tag": the most specific entry wins.
  for (const CommandEntry *entry : exact) {
    if (entry->name == withSub) return {entry};
  }
  return exact.empty() ? subcommands : exact;
}

void printEntry(const CommandEntry &entry, std::ostream &out) {
  std::string sentence = entry.summary;
  sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
  out << "usage: " << usageLine(entry) << "\n" << sentence << ".\n";
  if (entry.details[0] != '\0') out << entry.details;
}

}  // namespace

void printUsage(std::ostream &out) {
  out << kMainUsage << "\ncommands:\n";
  for (const CommandEntry &entry : kCommands) {
    std::string line = std::string("  ") + entry.name;
    if (entry.arguments[0] != '\0') line += std::string(" ") + entry.arguments;
    out << line << "\n      " << entry.summary << "\n";
  }
  out << "'readerctl help COMMAND' tells more of one.\n\n" << kOptions;
  out << "\n"
         "scan, watch and tag watch press trigger key 1 for the user, unless real\n"
         "devices are used and the library reads the terminal's own trigger keys\n"
         "(READER_TRIGGER_DEVICE or READER_TRIGGER_X11 set, in the environment or in\n"
         "the file READER_CONFIG names, by default /etc/reader3100xe.conf): they then\n"
         "wait for the user's press. --press and --no-press decide it instead.\n"
         "A text engine in trigger mode 1, 5 or 7 (the simulated one leaves the factory\n"
         "in mode 1) triggers itself: scan and watch then wait for its decodes instead\n"
         "of pressing the trigger.\n"
         "\n"
         "With --readerd PATH, or READERD_SOCKET naming a socket, every command goes\n"
         "through that readerd, which owns the reader, and prints what it prints\n"
         "otherwise. scan, watch and tag watch then press trigger key 1 through readerd\n"
         "unless given --no-press; --ex, --trace and the simulated terminal's options\n"
         "do not go with it.\n";
}

bool printHelp(const std::vector<std::string> &topic, std::ostream &out) {
  if (topic.empty()) {
    out << kMainUsage << "\n";
    for (const CommandEntry &entry : kCommands) {
      std::string name = entry.name;
      name.resize(20, ' ');
      out << "  " << name << entry.summary << "\n";
    }
    out << "\n'readerctl help COMMAND' shows a command's usage and options, 'readerctl help\n"
           "options' the options, 'readerctl --help' everything.\n";
    return true;
  }
  if (topic.size() == 1 && topic.front() == "options") {
    out << kMainUsage << "\n" << kOptions;
    return true;
  }
  const std::vector<std::string> rest(topic.begin() + 1, topic.end());
  const std::vector<const CommandEntry *> entries = entriesFor(topic.front(), rest);
  // "tag read --uid" is no topic; "tag read" is.
  if (entries.empty() || (entries.size() == 1 && joined(topic) != entries.front()->name)) return false;
  if (entries.size() > 1 && topic.size() > 1) return false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) out << "\n";
    printEntry(*entries[i], out);
  }
  return true;
}

void printVersion(std::ostream &out) {
  char library[32] = {};
  GetDllVer(library, sizeof library);
  out << "readerctl " << READER_TOOLS_VERSION << " (library " << (library[0] ? library : "unknown") << ")\n";
}

std::string usageHint(const std::string &command, const std::vector<std::string> &arguments, bool optionProblem,
                      const std::string &option) {
  // An option's own line says what it takes.
  const std::string_view options = kOptions;
  const std::size_t line = option.empty() ? std::string_view::npos : options.find("\n  " + option + " ");
  if (optionProblem && line != std::string_view::npos) {
    return std::string(options.substr(line + 1, options.find('\n', line + 1) - line)) +
           "see 'readerctl help options'\n";
  }
  if (optionProblem || command.empty()) {
    return std::string(kMainUsage) + (optionProblem ? "see 'readerctl help options'\n" : "see 'readerctl help'\n");
  }
  const std::vector<const CommandEntry *> entries = entriesFor(command, arguments);
  if (entries.empty()) return std::string(kMainUsage) + "see 'readerctl help'\n";
  std::string hint;
  for (std::size_t i = 0; i < entries.size(); ++i)
    hint += (i == 0 ? "usage: " : "       ") + usageLine(*entries[i]) + "\n";
  const std::string topic = entries.size() == 1 ? std::string(entries.front()->name) : command;
  return hint + "see 'readerctl help " + topic + "'\n";
}

}  // namespace readerctl
