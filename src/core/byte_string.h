// ByteString: the one growable string and byte buffer of the library.
//
// Every command, answer, decode result, configuration block, prefix and
// suffix text and output record is a ByteString. It stores 16-bit elements,
// always followed by a 0 element, and hands out an 8-bit copy of itself for
// byte-oriented interfaces. Text from 8-bit sources enters it sign-extended,
// one character per element; byte frames hold one byte value per element.
//
// Not thread-safe: owners guard shared strings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reader {

class ByteString {
 public:
  // An empty string; capacity is hint + 1, or 32 when the hint is 0.
  explicit ByteString(std::uint32_t capacityHint = 0);
  ~ByteString() = default;

  // Copies duplicate the elements (there is no sharing).
  ByteString(const ByteString &other);
  ByteString &operator=(const ByteString &other);
  ByteString(ByteString &&other) noexcept;
  ByteString &operator=(ByteString &&other) noexcept;

  // Convenience constructors for byte frames and texts.
  static ByteString fromText(std::string_view text);
  static ByteString fromBytes(const std::vector<std::uint8_t> &bytes);

  std::uint32_t length() const { return count_ - 1; }
  bool empty() const { return count_ == 1; }
  std::uint32_t capacity() const { return capacity_; }

  // The elements as a 0-terminated wide text.
  const std::int16_t *wideData() const { return elements_.get(); }

  // Element access, clamped: an index at or past the length gives the
  // terminator, a negative one element 0.
  std::int16_t &at(std::uint32_t index);
  std::int16_t &at(std::int32_t index);
  std::int16_t at(std::uint32_t index) const;
  std::int16_t at(std::int32_t index) const;

  // The element's low 8 bits: the byte value a byte frame holds there.
  std::uint8_t byteAt(std::uint32_t index) const { return static_cast<std::uint8_t>(at(index) & 0xFF); }

  bool equals(const char *text) const;
  bool startsWith(const char *text) const;

  void append(std::int16_t value);
  void append(const ByteString &source);
  void appendText(const char *text);
  void appendText(std::string_view text);

  void assign(const char *text);
  void assign(const ByteString &source);

  // Stores the value when 0 <= index < length; the terminator cannot be
  // overwritten.
  void setAt(std::int16_t value, std::int32_t index);

  // Elements start..end inclusive (end clamped to the last) into `out`,
  // reset first.
  void copyRange(std::uint32_t start, std::uint32_t end, ByteString &out) const;

  std::uint32_t eraseRange(std::uint32_t start, std::uint32_t n);
  void popBack();

  // First position >= start where the text matches; false when none.
  bool find(std::uint32_t start, const char *text, std::uint32_t &index) const;
  // Forward (direction 0) or backward search for one element value.
  bool findChar(std::int16_t value, std::uint32_t &index, std::uint32_t start, int direction) const;

  // Builds the string from a printf-like format: d i o u x X c C take an
  // int, e E f g G a double, s S an 8-bit text, w a UTF-16 text; "%%" is
  // a percent sign. One converted number is cut at 99 characters.
  void format(const char *fmt, ...);

  // Frees both buffers and starts again empty with the kept capacity hint.
  void reset();

  // The low 8 bits of the elements as a std::string (no terminator).
  std::string toString() const;
  std::vector<std::uint8_t> toBytes() const;

 private:
  void appendUnits(const std::int16_t *units, std::uint32_t n);
  void allocateFresh();
  void growFor(std::uint32_t k);
  void reallocate(std::uint32_t newCapacity);

  std::uint32_t count_ = 1;
  std::uint32_t capacity_ = 0;
  std::uint32_t capacityHint_ = 0;
  std::unique_ptr<std::int16_t[]> elements_;
};

}  // namespace reader
