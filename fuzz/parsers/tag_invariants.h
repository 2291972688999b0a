// What every tag the library reports must satisfy, whichever module it came
// from: shared by the two module targets.
#pragma once

#include "core/scan_result.h"
#include "rfid/hex_field.h"
#include "rfid/tag_geometry.h"
#include "support/invariant_check.h"

namespace readerfuzz {

// A tag read with `readLength` bytes asked for.
inline void checkTag(const reader::ScanResult &tag, int readLength) {
  // The UID is hexadecimal text; the family has a name (maybe "unkonwn").
  READER_FUZZ_CHECK(reader::isHexText(tag.data));
  READER_FUZZ_CHECK(!tag.name.empty());
  // Never more data than asked for, nor more than any read may carry.
  const int cap = readLength < reader::kMaxTagDataBytes ? readLength : reader::kMaxTagDataBytes;
  READER_FUZZ_CHECK(static_cast<int>(tag.tagData.length()) <= (cap > 0 ? cap : 0));
  if (!tag.tagData.empty()) READER_FUZZ_CHECK(tag.blockSize > 0);
  for (std::uint32_t i = 0; i < tag.tagData.length(); ++i)
    READER_FUZZ_CHECK(tag.tagData.at(i) >= 0 && tag.tagData.at(i) <= 0xFF);
}

}  // namespace readerfuzz
