// Placeholder: no vibrator.
#include "platform/posix/vibrator_output.h"

namespace reader::platform::posix {

bool driveVibrator(bool) { return false; }

}  // namespace reader::platform::posix
