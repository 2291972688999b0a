#include "rfid/module_answer.h"

#include <optional>

#include "core/hex_text.h"
#include "core/tag_type.h"
#include "rfid/hex_field.h"

namespace reader {

namespace {

constexpr std::int16_t kOpen = '[';
constexpr std::int16_t kClose = ']';
constexpr std::int16_t kComma = ',';

// ISO 14443 type A: the field ends with two characters after the UID.
constexpr std::uint32_t kIso14443ATrailer = 2;

// ISO 14443 type B: the UID is the four bytes after the first.
constexpr std::uint32_t kIso14443BUidFrom = 2;
constexpr std::uint32_t kIso14443BUidTo = 9;

// Tag-it detection payload: exactly this long, the UID at characters 4 to
// 11, the information byte and the block count as its bytes 8 and 9.
constexpr std::uint32_t kTagitDetectionLength = 20;
constexpr std::uint32_t kTagitUidFrom = 4;
constexpr std::uint32_t kTagitUidTo = 11;
constexpr std::uint32_t kTagitInfoByte = 8;
constexpr std::uint32_t kTagitBlockCountByte = 9;

// Tag-it block payload: characters 6 to 15 hold the shifted block.
constexpr std::uint32_t kTagitBlockFrom = 6;
constexpr std::uint32_t kTagitBlockTo = 15;
constexpr std::uint32_t kTagitBlockBytes = 4;

// ISO 15693: an answer without bracket end keeps back its last two
// characters.
constexpr std::uint32_t kIso15693OpenTrailer = 2;

// ISO 15693 response flags: the tag refused the request.
constexpr int kIso15693ErrorFlag = 0x01;

std::optional<std::uint32_t> indexOf(const ByteString &text, std::int16_t value, std::uint32_t from) {
  for (std::uint32_t i = from; i < text.length(); ++i)
    if (text.at(i) == value) return i;
  return std::nullopt;
}

// Characters first..last (inclusive) of the text; empty when last < first.
ByteString slice(const ByteString &text, std::uint32_t first, std::uint32_t last) {
  ByteString out;
  if (last >= first) text.copyRange(first, last, out);
  return out;
}

bool iso14443APayload(const ByteString &answer, ByteString &payload) {
  const auto open = indexOf(answer, kOpen, 0);
  if (!open) return false;
  const auto close = indexOf(answer, kClose, *open + 1);
  if (!close) return false;
  // A field of the trailer alone, or less, carries no UID.
  if (*close - *open - 1 <= kIso14443ATrailer) return false;
  payload = slice(answer, *open + 1, *close - 1 - kIso14443ATrailer);
  return true;
}

bool firstNonEmptyField(const ByteString &answer, ByteString &payload) {
  std::uint32_t from = 0;
  for (;;) {
    const auto open = indexOf(answer, kOpen, from);
    if (!open) return false;
    const auto close = indexOf(answer, kClose, *open + 1);
    if (!close) return false;
    if (*close > *open + 1) {
      payload = slice(answer, *open + 1, *close - 1);
      return true;
    }
    from = *close + 1;
  }
}

// The text of the first ISO 15693 field with a payload.
bool iso15693PayloadText(const ByteString &answer, ByteString &text) {
  const std::uint32_t n = answer.length();
  for (std::uint32_t open = 0; open + 1 < n; ++open) {
    if (answer.at(open) != kOpen) continue;
    const std::int16_t next = answer.at(open + 1);
    if (next == kComma || next == kClose) continue;
    std::uint32_t end = open + 1;
    while (end < n && answer.at(end) != kComma && answer.at(end) != kClose) ++end;
    // An answer cut short before its bracket closes keeps back its last
    // characters, which are not payload.
    if (end == n) end = n >= kIso15693OpenTrailer ? n - kIso15693OpenTrailer : 0;
    if (end <= open + 1) return false;
    text = slice(answer, open + 1, end - 1);
    return true;
  }
  return false;
}

bool iso15693Payload(const ByteString &answer, AnswerMode mode, ByteString &payload) {
  ByteString text, bytes;
  if (!iso15693PayloadText(answer, text) || !decodeHexField(text, bytes)) return false;
  if (mode == AnswerMode::Data) {
    bytes.eraseRange(0, 1);  // the response flags
    payload = std::move(bytes);
    return !payload.empty();
  }
  ByteString reversed;
  for (std::uint32_t i = bytes.length(); i > 0; --i) reversed.append(bytes.at(i - 1));
  toHexText(reversed, payload);
  return !payload.empty();
}

}  // namespace

bool parseModuleAnswer(int selector, const ByteString &answer, AnswerMode mode, ByteString &payload) {
  ByteString found;
  bool ok = false;
  switch (selector) {
    case TagType::MifareFamily: ok = iso14443APayload(answer, found); break;
    case TagType::Iso14443B:
    case TagType::Tagit: ok = firstNonEmptyField(answer, found); break;
    case TagType::Iso15693: ok = iso15693Payload(answer, mode, found); break;
    default: break;
  }
  if (!ok) found.reset();
  payload = std::move(found);
  return ok;
}

bool extractTagUid(int selector, const ByteString &payload, ByteString &uid, int &tagInfoByte, int &tagBlockCount) {
  tagInfoByte = 0;
  tagBlockCount = 0;
  ByteString found(payload);
  if (selector == TagType::Iso14443B && payload.length() > kIso14443BUidTo) {
    found = slice(payload, kIso14443BUidFrom, kIso14443BUidTo);
  } else if (selector == TagType::Tagit && payload.length() == kTagitDetectionLength) {
    found = slice(payload, kTagitUidFrom, kTagitUidTo);
    ByteString bytes;
    if (decodeHexField(payload, bytes)) {
      tagInfoByte = bytes.byteAt(kTagitInfoByte);
      tagBlockCount = bytes.byteAt(kTagitBlockCountByte);
    }
  }
  uid = std::move(found);
  return !uid.empty();
}

bool realignTagitBlock(const ByteString &payload, ByteString &bytes) {
  bytes.reset();
  ByteString shifted;
  if (payload.length() <= kTagitBlockTo || !decodeHexField(slice(payload, kTagitBlockFrom, kTagitBlockTo), shifted))
    return false;
  for (std::uint32_t i = 0; i < kTagitBlockBytes; ++i) {
    const int value = ((shifted.byteAt(i) & 0x3F) << 2) | (shifted.byteAt(i + 1) >> 6);
    bytes.append(static_cast<std::int16_t>(value & 0xFF));
  }
  return true;
}

bool answerHasField(const ByteString &answer) {
  ByteString payload;
  return firstNonEmptyField(answer, payload);
}

bool isIso15693ErrorReply(const ByteString &answer) {
  ByteString text, bytes;
  return iso15693PayloadText(answer, text) && decodeHexField(text, bytes) && !bytes.empty() &&
         (bytes.byteAt(0) & kIso15693ErrorFlag) != 0;
}

}  // namespace reader
