// The hex-frame module's bracket answers: parseModuleAnswer for every
// protocol in both modes, extractTagUid and realignTagitBlock on what it
// finds, and a whole tag detection with its block reads through the real
// exchange code. Input: options (1 byte: protocol, mode, path), read start
// and length (1 byte each), then either the answer itself or the module's
// bytes in the script form of scripted_serial_port.h (FE 00 between
// answers).
//
// Beyond surviving any answer: a parse that fails yields nothing, one that
// succeeds yields a payload taken from inside the answer, UIDs are
// hexadecimal, and a tag never carries more data than asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "core/tag_type.h"
#include "rfid/module_answer.h"
#include "rfid/tag_detection.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/manual_clock.h"
#include "support/scripted_channel.h"
#include "tag_invariants.h"

namespace {

using reader::ByteString;
namespace TagType = reader::TagType;

constexpr int kSelectors[] = {TagType::MifareFamily, TagType::Iso14443B, TagType::Tagit, TagType::Iso15693,
                              TagType::Icode};

bool isPartOf(const ByteString &part, const ByteString &whole) {
  if (part.length() > whole.length()) return false;
  for (std::uint32_t from = 0; from + part.length() <= whole.length(); ++from) {
    bool same = true;
    for (std::uint32_t i = 0; i < part.length() && same; ++i) same = whole.at(from + i) == part.at(i);
    if (same) return true;
  }
  return false;
}

bool contains(const ByteString &text, char c) {
  for (std::uint32_t i = 0; i < text.length(); ++i)
    if (text.at(i) == c) return true;
  return false;
}

bool isUpperHexPairs(const ByteString &text) {
  if (text.length() % 2 != 0) return false;
  for (std::uint32_t i = 0; i < text.length(); ++i) {
    const int c = text.at(i);
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

void parseAnswer(int selector, reader::AnswerMode mode, const ByteString &answer) {
  ByteString payload = ByteString::fromText("stale");
  const bool ok = reader::parseModuleAnswer(selector, answer, mode, payload);
  READER_FUZZ_CHECK(ok != payload.empty());
  const bool known = selector == TagType::MifareFamily || selector == TagType::Iso14443B ||
                     selector == TagType::Tagit || selector == TagType::Iso15693;
  if (!known) READER_FUZZ_CHECK(!ok);
  // A field with content is what the type B and Tag-it parse takes.
  ByteString field;
  READER_FUZZ_CHECK(reader::answerHasField(answer) ==
                    reader::parseModuleAnswer(TagType::Iso14443B, answer, reader::AnswerMode::Uid, field));
  if (!ok) return;
  if (selector == TagType::Iso15693) {
    if (mode == reader::AnswerMode::Uid) READER_FUZZ_CHECK(isUpperHexPairs(payload));
  } else {
    READER_FUZZ_CHECK(isPartOf(payload, answer) && !contains(payload, ']'));
  }

  ByteString uid;
  int info = -1, blocks = -1;
  const bool hasUid = reader::extractTagUid(selector, payload, uid, info, blocks);
  READER_FUZZ_CHECK(hasUid == !uid.empty() && isPartOf(uid, payload));
  READER_FUZZ_CHECK(info >= 0 && info <= 0xFF && blocks >= 0 && blocks <= 0xFF);
  if (selector != TagType::Tagit) READER_FUZZ_CHECK(info == 0 && blocks == 0);

  ByteString block = ByteString::fromText("stale");
  if (reader::realignTagitBlock(payload, block))
    READER_FUZZ_CHECK(block.length() == 4);
  else
    READER_FUZZ_CHECK(block.empty());
}

void detectTag(const reader::PortLock &lock, const reader::TagRequest &request, bool probe) {
  reader::DeviceChannel &channel = lock.channel();
  if (probe) {
    if (reader::negotiateLink(lock))
      READER_FUZZ_CHECK(channel.kind == reader::DeviceKind::HexModule && channel.moduleVariant == 2);
    return;
  }
  reader::ScanResult tag;
  if (!reader::readTag(lock, tag, request)) {
    READER_FUZZ_CHECK(tag.data.empty() || channel.lastError != 0);
    return;
  }
  readerfuzz::checkTag(tag, request.length);
  READER_FUZZ_CHECK(tag.code == channel.protocolSelector);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  const std::uint8_t options = input.byte();
  const int selector = kSelectors[(options & 0x0F) % std::size(kSelectors)];
  const auto mode = (options & 0x10) != 0 ? reader::AnswerMode::Data : reader::AnswerMode::Uid;
  const int readStart = static_cast<std::int8_t>(input.byte());
  const int readLength = input.byte();

  if ((options & 0x20) == 0) {
    parseAnswer(selector, mode, input.bytes(input.remaining()));
    return 0;
  }
  reader::DeviceChannel &channel = readerfuzz::fuzzDevice().rfid;
  readerfuzz::attachScript(channel, reader::DeviceKind::HexModule, input.rest(), input.remaining());
  channel.moduleVariant = 2;
  channel.protocolSelector = selector;
  detectTag(*reader::PortLock::take(channel), reader::TagRequest{readStart, readLength, reader::ByteString()},
            (options & 0x40) != 0);
  readerfuzz::detachScript(channel);
  return 0;
}
