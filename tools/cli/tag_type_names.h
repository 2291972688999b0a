// Names for the tag type codes GetDecodeTagType returns: the letter of the
// tag's family, the same for both module kinds.
#pragma once

namespace readerctl {

// The family name of `code`; nullptr for a code no module reports (0, no
// tag read, included).
const char *tagFamilyName(int code);

}  // namespace readerctl
