// ReadRfidData and WriteRfidData with any arguments (modes, buffer sizes,
// starts, lengths, keys, data) against a simulated module of the kind this
// target is built for (READER_FUZZ_MODULE: 5 or 6) with one tag in its
// field, put back fresh before every input. Promised:
//  - refused arguments give their code and touch nothing;
//  - a read copies by the buffer rule, never past the size, at most 128
//    data bytes and no more than asked for; the UID is the tag's;
//  - a write that reports w bytes written wrote them: reading w bytes back
//    from the same start gives the same bytes; a write reported as failed
//    wrote nothing (written 0).
#include <3100XE_DLL.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "callers/simulated_reader.h"
#include "support/byte_fields.h"
#include "support/invariant_check.h"

#ifndef READER_FUZZ_MODULE
#  define READER_FUZZ_MODULE 5
#endif

namespace {

// The ASCII module sees Mifare tags (sector logins, trailers); the hex-frame
// module writes only ISO 15693 and Tag-it tags.
constexpr const char *kTagText = READER_FUZZ_MODULE == 5 ? "mifare:04A1B2C3" : "iso15693:E0AA000000000000";
constexpr std::uint8_t kCanary = 0xA5;
constexpr unsigned kLargestBuffer = 4096;
constexpr int kMaxTagBytes = 128;
constexpr int kOperationsPerInput = 3;

// Operation flags.
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kNullKey = 0x02;
constexpr std::uint8_t kNullBuffer = 0x04;
constexpr std::uint8_t kNullWritten = 0x08;
constexpr std::uint8_t kFarStart = 0x10;
constexpr std::uint8_t kHugeSize = 0x20;

readersim::Terminal *terminal = nullptr;
std::string tagUid;

// Every block the library may address answers: a block the tag lacks is
// waited for until the module's time-out, seconds per block.
constexpr int kTagBlocks = 64;

void freshTag() {
  readersim::SimTag tag = readersim::tagOf(kTagText);
  tag.setBlockCount(kTagBlocks);
  READER_FUZZ_CHECK(!terminal->clearTags().has_value());
  READER_FUZZ_CHECK(!terminal->placeTag(tag).has_value());
}

struct Buffer {
  explicit Buffer(unsigned size) : bytes(std::min(size, kLargestBuffer) + 1, kCanary) {}
  char *data() { return reinterpret_cast<char *>(bytes.data()); }
  bool untouchedFrom(std::size_t from) const {
    for (std::size_t i = from; i < bytes.size(); ++i)
      if (bytes[i] != kCanary) return false;
    return true;
  }
  std::vector<std::uint8_t> bytes;
};

// The bytes a successful copy of an n-byte result into `size` bytes leaves.
std::size_t copiedCount(std::size_t n, unsigned size) {
  const unsigned long long limit = std::min<unsigned long long>(size, INT_MAX);
  return limit >= n + 1 ? n : static_cast<std::size_t>(limit - 1);
}

// Reads `length` bytes from `start`; returns them (checked against the copy
// rule) or nothing when the read failed.
std::vector<std::uint8_t> readData(int start, int length, const char *key, bool &ok) {
  Buffer buffer(kMaxTagBytes + 1);
  const int result = ReadRfidData(READER_RFID_READ_DATA, buffer.data(), kMaxTagBytes + 1, start, length, 0, key);
  ok = result >= 0;
  if (!ok) return {};
  READER_FUZZ_CHECK(result <= std::min(length, kMaxTagBytes));
  READER_FUZZ_CHECK(buffer.bytes[static_cast<std::size_t>(result)] == 0);
  return {buffer.bytes.begin(), buffer.bytes.begin() + result};
}

void readOperation(readerfuzz::ByteFields &in, std::uint8_t flags, int start, int length, const char *key) {
  int mode = 1 + in.byte() % 3;
  if (mode == 3) mode = in.i32();
  const unsigned size = (flags & kHugeSize) != 0 ? in.u32() : in.u16();
  Buffer buffer(size);
  char *target = (flags & kNullBuffer) != 0 ? nullptr : buffer.data();
  const int result = ReadRfidData(mode, target, size, start, length, 0, key);
  if (target == nullptr || size < 1 || length < 1) {
    READER_FUZZ_CHECK(result == READER_ERR_RFID_READ);
    READER_FUZZ_CHECK(buffer.untouchedFrom(0));
    return;
  }
  // The tag is in the field: the cycle finds it whatever the range.
  READER_FUZZ_CHECK(result != READER_ERR_RFID_READ);
  if (mode != READER_RFID_READ_UID && mode != READER_RFID_READ_DATA) {
    READER_FUZZ_CHECK(result == 0);
    READER_FUZZ_CHECK(buffer.untouchedFrom(0));
    return;
  }
  const int sizeLimit = static_cast<int>(std::min<unsigned>(size, INT_MAX));
  READER_FUZZ_CHECK(result >= 0 && result <= sizeLimit);
  // A whole copy returns less than the size; a cut one returns the size.
  const bool cut = result == sizeLimit;
  const std::size_t copied = cut ? static_cast<std::size_t>(result - 1) : static_cast<std::size_t>(result);
  READER_FUZZ_CHECK(buffer.bytes[copied] == 0);
  READER_FUZZ_CHECK(buffer.untouchedFrom(copied + 1));
  if (mode == READER_RFID_READ_UID) {
    READER_FUZZ_CHECK(copied == copiedCount(tagUid.size(), size));
    READER_FUZZ_CHECK(std::memcmp(buffer.bytes.data(), tagUid.data(), copied) == 0);
  } else if (!cut) {
    READER_FUZZ_CHECK(result <= std::min(length, kMaxTagBytes));
  }
}

void writeOperation(readerfuzz::ByteFields &in, std::uint8_t flags, int start, int length, const char *key) {
  // Exactly `length` bytes: the library must read no further.
  const std::vector<std::uint8_t> pattern = in.counted(255);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max(length, 0)));
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = pattern.empty() ? 0 : pattern[i % pattern.size()];
  const unsigned char *source = (flags & kNullBuffer) != 0 ? nullptr : data.data();
  int written = -12345;
  const int result = WriteRfidData(source, start, length, (flags & kNullWritten) != 0 ? nullptr : &written, 0, 0, key);
  if (source == nullptr || length < 1) {
    READER_FUZZ_CHECK(result == READER_ERR_RFID_WRITE);
    return;
  }
  READER_FUZZ_CHECK(result == READER_OK || result == READER_ERR_RFID_WRITE);
  if ((flags & kNullWritten) != 0) return;
  if (result != READER_OK) {
    READER_FUZZ_CHECK(written == 0);
    return;
  }
  READER_FUZZ_CHECK(written >= 1 && written <= std::min(length, kMaxTagBytes));
  bool ok = false;
  const std::vector<std::uint8_t> back = readData(start, written, key, ok);
  READER_FUZZ_CHECK(ok);
  READER_FUZZ_CHECK(back.size() == static_cast<std::size_t>(written));
  READER_FUZZ_CHECK(std::equal(back.begin(), back.end(), data.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  readersim::TerminalConfig config;
  config.engineKind = 0;
  config.moduleKind = READER_FUZZ_MODULE;
  config.asciiModule.startSpeed = 57600;
  terminal = &readerfuzz::startSimulatedReader(config);
  const readersim::SimTag tag = readersim::tagOf(kTagText);
  tagUid = tag.uidText();
  // The hex-frame module's ISO 15693 answer carries the response flags with
  // the UID, and the UID text keeps them as its last byte.
  if (READER_FUZZ_MODULE == 6) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    tagUid += kDigits[tag.responseFlags() >> 4];
    tagUid += kDigits[tag.responseFlags() & 0x0F];
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::ByteFields in(data, size);
  readerfuzz::forgetSimulatedTraffic();
  freshTag();
  for (int i = 0; i < kOperationsPerInput && !in.atEnd(); ++i) {
    const std::uint8_t flags = in.byte();
    const int start = (flags & kFarStart) != 0 ? in.i32() : static_cast<std::int8_t>(in.byte());
    const int length = static_cast<std::int16_t>(in.u16());
    const std::string keyText = in.countedText(20);
    const char *key = (flags & kNullKey) != 0 ? nullptr : keyText.c_str();
    if ((flags & kWrite) != 0)
      writeOperation(in, flags, start, length, key);
    else
      readOperation(in, flags, start, length, key);
  }
  return 0;
}
