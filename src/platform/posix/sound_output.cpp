// Placeholder: no sound.
#include "platform/posix/sound_output.h"

namespace reader::platform::posix {

bool playSoundFile(const char *, std::uint32_t) { return false; }
bool playAudioRecord(const std::uint8_t (&)[20]) { return false; }

}  // namespace reader::platform::posix
