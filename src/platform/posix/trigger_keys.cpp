// Placeholder: no trigger keys are read.
#include "platform/posix/trigger_keys.h"

namespace reader::platform::posix {

void startTriggerKeys() {}
void stopTriggerKeys() {}

}  // namespace reader::platform::posix
