// Splitting a fuzz input into fields: a few leading bytes choose what the
// target does, the rest is data. A field past the end reads as zero, so
// every input, however short, is usable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_string.h"

namespace readerfuzz {

class InputFields {
 public:
  InputFields(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t word() {
    const std::uint16_t high = byte();
    return static_cast<std::uint16_t>(high << 8 | byte());
  }
  // One of `count` choices (count > 0).
  std::size_t choice(std::size_t count) { return byte() % count; }

  // The next `n` bytes, fewer at the end.
  reader::ByteString bytes(std::size_t n) {
    const std::size_t take = n < remaining() ? n : remaining();
    reader::ByteString out =
        reader::ByteString::fromBytes(std::vector<std::uint8_t>(data_ + pos_, data_ + pos_ + take));
    pos_ += take;
    return out;
  }
  // A field whose length comes first (one byte).
  reader::ByteString sized() { return bytes(byte()); }

  const std::uint8_t *rest() const { return data_ + pos_; }
  std::size_t remaining() const { return size_ - pos_; }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace readerfuzz
