// A fuzz input taken apart front to back into the fields a target needs.
// Past the end every field reads as zero or empty, so any input is a whole
// test case and a shorter input is simply one with more zero fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace readerfuzz {

class ByteFields {
 public:
  ByteFields(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  // Little-endian, so that small mutations make small changes.
  std::uint16_t u16() {
    const std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
  }
  std::uint32_t u32() {
    const std::uint32_t low = u16();
    return low | (static_cast<std::uint32_t>(u16()) << 16);
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

  // Up to `count` bytes (fewer at the end of the input).
  std::vector<std::uint8_t> bytes(std::size_t count) {
    std::vector<std::uint8_t> out;
    while (count-- > 0 && pos_ < size_) out.push_back(data_[pos_++]);
    return out;
  }
  // A length byte (taken modulo limit + 1), then that many bytes.
  std::vector<std::uint8_t> counted(std::size_t limit) { return bytes(byte() % (limit + 1)); }
  std::string countedText(std::size_t limit) {
    const std::vector<std::uint8_t> raw = counted(limit);
    return {raw.begin(), raw.end()};
  }

  std::vector<std::uint8_t> rest() { return bytes(size_ - pos_); }
  bool atEnd() const { return pos_ >= size_; }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace readerfuzz
