#include "rfid/module_status.h"

#include "core/channel_error.h"

namespace reader {

namespace {

struct StatusLetter {
  char letter;
  std::uint32_t error;
};

constexpr StatusLetter kStatusLetters[] = {
    {'?', ChannelError::ModuleOther}, {'F', ChannelError::ModuleF}, {'N', ChannelError::NoTag},
    {'O', ChannelError::ModuleO},     {'R', ChannelError::ModuleR},
};

}  // namespace

std::uint32_t moduleStatusError(const ByteString &answer) {
  if (answer.length() != 1) return 0;
  for (const StatusLetter &status : kStatusLetters)
    if (answer.at(0u) == status.letter) return status.error;
  return 0;
}

bool refusedWithStatus(DeviceChannel &channel, const ByteString &answer) {
  const std::uint32_t error = moduleStatusError(answer);
  if (error == 0) return false;
  channel.lastError = error;
  return true;
}

}  // namespace reader
