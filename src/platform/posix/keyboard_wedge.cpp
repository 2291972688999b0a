// Placeholder: no keyboard wedge.
#include "platform/posix/keyboard_wedge.h"

namespace reader::platform::posix {

void startKeyboardWedge() {}
void stopKeyboardWedge() {}
bool wedgeTypeCharacters(const std::int32_t *, std::size_t) { return false; }
bool wedgeKeyEvent(std::uint8_t, bool) { return false; }

}  // namespace reader::platform::posix
