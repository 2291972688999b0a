#include "core/byte_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace reader {

namespace {

constexpr std::uint32_t kDefaultCapacity = 32;
constexpr std::uint32_t kDoublingLimit = 0x10000;
constexpr std::uint32_t kLinearGrowth = 1000;

std::int16_t signExtend(char c) { return static_cast<std::int16_t>(static_cast<signed char>(c)); }

}  // namespace

ByteString::ByteString(std::uint32_t capacityHint) : capacityHint_(capacityHint) { allocateFresh(); }

ByteString::ByteString(const ByteString &other) : capacityHint_(other.capacityHint_) {
  allocateFresh();
  append(other);
}

ByteString &ByteString::operator=(const ByteString &other) {
  if (this != &other) assign(other);
  return *this;
}

ByteString::ByteString(ByteString &&other) noexcept
    : count_(other.count_),
      capacity_(other.capacity_),
      capacityHint_(other.capacityHint_),
      elements_(std::move(other.elements_)) {
  // The moved-from string stays a valid empty string.
  other.count_ = 1;
  other.capacity_ = 0;
  try {
    other.allocateFresh();
  } catch (...) {
  }
}

ByteString &ByteString::operator=(ByteString &&other) noexcept {
  if (this != &other) {
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
    std::swap(elements_, other.elements_);
  }
  return *this;
}

ByteString ByteString::fromText(std::string_view text) {
  ByteString s;
  s.appendText(text);
  return s;
}

ByteString ByteString::fromBytes(const std::vector<std::uint8_t> &bytes) {
  ByteString s;
  for (std::uint8_t b : bytes) s.append(static_cast<std::int16_t>(b));
  return s;
}

void ByteString::allocateFresh() {
  const std::uint32_t capacity = capacityHint_ == 0 ? kDefaultCapacity : capacityHint_ + 1;
  elements_ = std::make_unique<std::int16_t[]>(capacity);  // zero-filled
  capacity_ = capacity;
  count_ = 1;
}

void ByteString::reset() {
  elements_.reset();
  allocateFresh();
}

void ByteString::reallocate(std::uint32_t newCapacity) {
  auto fresh = std::make_unique<std::int16_t[]>(newCapacity);
  std::copy_n(elements_.get(), std::min(count_, newCapacity), fresh.get());
  elements_ = std::move(fresh);
  capacity_ = newCapacity;
}

void ByteString::growFor(std::uint32_t k) {
  auto next = [](std::uint32_t c) { return c < kDoublingLimit ? c * 2 : c + kLinearGrowth; };
  std::uint32_t capacity = capacity_;
  if (k == 1) {
    if (count_ >= capacity) capacity = next(capacity);
  } else if (count_ + k >= capacity) {
    while (capacity <= count_ + k) capacity = next(capacity);
  }
  if (capacity != capacity_) reallocate(capacity);
}

std::int16_t &ByteString::at(std::uint32_t index) { return index < count_ ? elements_[index] : elements_[count_ - 1]; }

std::int16_t &ByteString::at(std::int32_t index) {
  if (index < 0) return elements_[0];
  return at(static_cast<std::uint32_t>(index));
}

std::int16_t ByteString::at(std::uint32_t index) const {
  return index < count_ ? elements_[index] : elements_[count_ - 1];
}

std::int16_t ByteString::at(std::int32_t index) const {
  if (index < 0) return elements_[0];
  return at(static_cast<std::uint32_t>(index));
}

bool ByteString::equals(const char *text) const {
  if (text == nullptr) return false;
  const std::size_t n = std::strlen(text);
  if (n != length()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (static_cast<signed char>(elements_[i] & 0xFF) != static_cast<signed char>(text[i])) return false;
  }
  return true;
}

bool ByteString::startsWith(const char *text) const {
  if (text == nullptr) return false;
  const std::size_t n = std::strlen(text);
  if (n > length()) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (elements_[i] != signExtend(text[i])) return false;
  return true;
}

void ByteString::append(std::int16_t value) {
  growFor(1);
  elements_[count_ - 1] = value;
  ++count_;
  elements_[count_ - 1] = 0;
}

void ByteString::appendUnits(const std::int16_t *units, std::uint32_t n) {
  if (units == nullptr || n == 0) return;
  // The source may live in this very buffer; copy it before growing.
  std::vector<std::int16_t> copy(units, units + n);
  growFor(n);
  std::copy(copy.begin(), copy.end(), elements_.get() + (count_ - 1));
  count_ += n;
  elements_[count_ - 1] = 0;
}

void ByteString::append(const ByteString &source) { appendUnits(source.elements_.get(), source.length()); }

void ByteString::appendText(const char *text) {
  if (text == nullptr) return;
  appendText(std::string_view(text));
}

void ByteString::appendText(std::string_view text) {
  if (text.empty()) return;
  std::vector<std::int16_t> units;
  units.reserve(text.size());
  for (char c : text) units.push_back(signExtend(c));
  appendUnits(units.data(), static_cast<std::uint32_t>(units.size()));
}

void ByteString::assign(const char *text) {
  reset();
  if (text != nullptr) appendText(std::string_view(text));
}

void ByteString::assign(const ByteString &source) {
  if (&source == this) return;
  reset();
  if (!source.empty()) append(source);
}

void ByteString::setAt(std::int16_t value, std::int32_t index) {
  if (index >= 0 && static_cast<std::uint32_t>(index) < length()) elements_[index] = value;
}

void ByteString::copyRange(std::uint32_t start, std::uint32_t end, ByteString &out) const {
  if (&out == this) {
    ByteString copy(*this);
    copy.copyRange(start, end, out);
    return;
  }
  out.reset();
  for (std::uint64_t i = start; i < length() && i <= end; ++i) out.append(elements_[i]);
}

std::uint32_t ByteString::eraseRange(std::uint32_t start, std::uint32_t n) {
  if (empty() || start >= length() || n == 0) return length();
  if (length() - start <= n) {
    count_ = start + 1;
  } else {
    std::copy(elements_.get() + start + n, elements_.get() + count_, elements_.get() + start);
    count_ -= n;
  }
  elements_[count_ - 1] = 0;
  return length();
}

void ByteString::popBack() {
  if (empty()) return;
  --count_;
  elements_[count_ - 1] = 0;
  if (count_ < capacity_ / 2) reallocate(count_);
}

bool ByteString::find(std::uint32_t start, const char *text, std::uint32_t &index) const {
  if (text == nullptr) return false;
  const std::size_t n = std::strlen(text);
  if (n == 0 || n > length() || start >= length()) return false;
  for (std::uint32_t p = start; p + n <= length(); ++p) {
    bool match = true;
    for (std::size_t i = 0; i < n && match; ++i) match = elements_[p + i] == signExtend(text[i]);
    if (match) {
      index = p;
      return true;
    }
  }
  return false;
}

bool ByteString::findChar(std::int16_t value, std::uint32_t &index, std::uint32_t start, int direction) const {
  index = 0;
  if (direction == 0) {
    for (std::uint32_t i = start; i < length(); ++i) {
      if (elements_[i] == value) {
        index = i;
        return true;
      }
    }
    return false;
  }
  for (std::int64_t i = std::min(start, length()); i >= 0; --i) {
    if (elements_[i] == value) {
      index = static_cast<std::uint32_t>(i);
      return true;
    }
  }
  return false;
}

void ByteString::format(const char *fmt, ...) {
  reset();
  if (fmt == nullptr || *fmt == 0) return;
  va_list args;
  va_start(args, fmt);
  const char *p = fmt;
  while (*p != 0) {
    if (*p != '%') {
      append(signExtend(*p));
      ++p;
      continue;
    }
    // Collect the directive up to its conversion letter. Only flags, width
    // and precision are passed on to the number formatting: length letters
    // and '*' would make it read arguments that were never passed.
    std::string directive = "%";
    ++p;
    char conversion = 0;
    while (*p != 0) {
      const char c = *p++;
      // "%%" (and a '%' inside a directive) is a literal percent sign.
      if (c == '%' || std::strchr("diouxXcCeEfgGsSw", c) != nullptr) {
        conversion = c;
        break;
      }
      if (std::strchr("-+ #0123456789.", c) != nullptr) directive += c;
    }
    if (conversion == 0) break;  // the format ended inside a directive
    char field[100];
    switch (conversion) {
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X': {
        directive += conversion;
        const int value = va_arg(args, int);
        std::snprintf(field, sizeof field, directive.c_str(), value);
        appendText(field);
        break;
      }
      case 'c':
      case 'C': {
        directive += 'c';
        const int value = va_arg(args, int);
        const int n = std::snprintf(field, sizeof field, directive.c_str(), value);
        // "%c" of 0 yields a NUL byte that is still one character.
        const std::size_t len = n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof field - 1);
        appendText(std::string_view(field, len));
        break;
      }
      case 'e':
      case 'E':
      case 'f':
      case 'g':
      case 'G': {
        directive += conversion;
        const double value = va_arg(args, double);
        std::snprintf(field, sizeof field, directive.c_str(), value);
        appendText(field);
        break;
      }
      case 's':
      case 'S': {
        const char *text = va_arg(args, const char *);
        appendText(text);
        break;
      }
      case 'w': {
        const char16_t *text = va_arg(args, const char16_t *);
        if (text != nullptr)
          for (const char16_t *q = text; *q != 0; ++q) append(static_cast<std::int16_t>(*q));
        break;
      }
      case '%': append('%'); break;
      default: break;
    }
  }
  va_end(args);
}

std::string ByteString::toString() const {
  std::string s;
  s.reserve(length());
  for (std::uint32_t i = 0; i < length(); ++i) s.push_back(static_cast<char>(elements_[i] & 0xFF));
  return s;
}

std::vector<std::uint8_t> ByteString::toBytes() const {
  std::vector<std::uint8_t> v;
  v.reserve(length());
  for (std::uint32_t i = 0; i < length(); ++i) v.push_back(static_cast<std::uint8_t>(elements_[i] & 0xFF));
  return v;
}

}  // namespace reader
