// The commands that reach the reader through the exported API: what each
// may be asked by whom, whether it talks to the devices (and so runs on the
// service's command thread, never on the one serving the sockets), and how
// it turns a request into its reply line.
#pragma once

#include <string>
#include <string_view>

#include "json_line.h"

namespace readerd {

enum class CommandAccess {
  Query,   // reads: every client, TCP ones too
  Action,  // acts on the devices without changing them (trigger, tag read): local clients
  Change,  // changes the reader (settings, writes, reset): local clients of the control group
};

// What the service knows of the reader's last start, for the commands that
// report it (info).
struct ReaderStart {
  std::string function = "InitReader";
  int result = 0;
  std::string text;  // the start's message, when it gave one
};

struct ReaderCommand {
  std::string_view name;
  CommandAccess access;
  bool blocks;  // exchanges bytes with a device
  // The whole answer: a reply or an error object and its '\n'.
  std::string (*run)(const JsonObject &request, const ReaderStart &start);
};

// nullptr for a name that is not one of them.
const ReaderCommand *findReaderCommand(std::string_view name);

}  // namespace readerd
