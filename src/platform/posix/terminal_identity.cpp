// The terminal's model on POSIX: the environment stands in for the registry.
#include "platform/terminal_identity.h"

#include "platform/common/environment_text.h"

namespace reader::platform {

bool readModelDescription(char *out, std::size_t size) {
  return common::copyEnvironmentText("READER_MODEL", out, size);
}

}  // namespace reader::platform
