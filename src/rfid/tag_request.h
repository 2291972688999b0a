// What a tag read asks for, and what a detection told beside the UID: passed
// down the read as values.
#pragma once

#include "core/byte_string.h"

namespace reader {

// The tag's bytes from `start` (negative: the family's first data block),
// `length` of them, and the key that logs in to a Mifare tag's sectors.
struct TagRequest {
  int start = 0;
  int length = 0;
  ByteString key;
};

// What the hex-frame module's answer tells of a Tag-it tag beside its UID:
// whether it gave the tag's information, and the tag's block count.
struct TagDetection {
  int infoByte = 0;
  int blockCount = 0;
};

}  // namespace reader
