#include "reader_commands.h"

#include <array>

namespace readerd {

namespace {

constexpr std::array<ReaderCommand, 0> kCommands{};

}  // namespace

const ReaderCommand *findReaderCommand(std::string_view name) {
  for (const ReaderCommand &command : kCommands)
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace readerd
