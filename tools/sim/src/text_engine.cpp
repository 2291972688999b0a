#include "readersim/text_engine.h"

#include <algorithm>
#include <array>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kPreamble = 0xFF;
constexpr std::size_t kTriggerModeByte = 20;
constexpr std::string_view kNoRead = "*000\r";

// A frame cut short is given up after this much silence: less than the
// host waits for an answer, so its retry starts on a clean line.
constexpr std::chrono::milliseconds kPartialFrameTimeout{500};

// Factory settings: most symbologies on with their usual options, lengths
// 4 to 32, trigger mode 1, 5 s scan time. Bytes past 22 are the engine's
// own and passed through by hosts.
constexpr std::array<std::uint8_t, 32> kFactoryBlock{
    0xFE, 0x7C, 0x31, 0x0F, 0x80, 0x55, 0xC2, 0x28,  // 0-7: enables and check digits
    0x01, 0x08, 0x15, 0x02, 0x84, 0x20, 0x84, 0x20,  // 8-15: conversions, lengths
    0x84, 0x20, 0x84, 0x20, 0x10, 0x05, 0xC0, 0x31,  // 16-23: lengths, trigger, scan time, Code 128
    0x0D, 0x0A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x5A,  // 24-31: engine internals
};

}  // namespace

std::vector<std::uint8_t> TextEngine::defaultBlock(std::size_t length) {
  std::vector<std::uint8_t> block(length, 0);
  std::copy_n(kFactoryBlock.begin(), std::min(length, kFactoryBlock.size()), block.begin());
  return block;
}

TextEngine::TextEngine() : TextEngine(Options{}) {}

TextEngine::TextEngine(Options options)
    : BarcodeEngine(2, kSpeed), block_(std::move(options.block)), version_(std::move(options.version)) {
  start();
}

TextEngine::~TextEngine() { shutdown(); }

std::vector<std::uint8_t> TextEngine::block() const {
  std::lock_guard lock(mutex());
  return block_;
}

void TextEngine::setBlock(std::vector<std::uint8_t> block) {
  {
    std::lock_guard lock(mutex());
    block_ = std::move(block);
  }
  wake();  // the trigger mode may have changed
}

int TextEngine::triggerMode(const std::vector<std::uint8_t> &block) {
  return block.size() > kTriggerModeByte ? block[kTriggerModeByte] >> 4 : 0;
}

bool TextEngine::selfTriggeredLocked() const { return isSelfTriggeredMode(triggerMode(block_)); }

std::optional<std::string> TextEngine::refusal(const Barcode &barcode) const {
  if (!barcode.symbology.letter) return std::nullopt;  // answered "*000"
  if (*barcode.symbology.letter == '\r' ||
      std::find(barcode.data.begin(), barcode.data.end(), kCr) != barcode.data.end()) {
    return "kind-2 decode data cannot contain CR";
  }
  return std::nullopt;
}

void TextEngine::refuseNext(int commands) {
  std::lock_guard lock(mutex());
  refuseNext_ = std::max(commands, 0);
}

void TextEngine::setRefuseAll(bool on) {
  std::lock_guard lock(mutex());
  refuseAll_ = on;
}

std::string TextEngine::commandText(const std::vector<std::uint8_t> &frame) {
  auto begin = std::find(frame.begin(), frame.end(), kEsc);
  if (begin == frame.end()) {
    begin = std::find_if(frame.begin(), frame.end(), [](std::uint8_t b) { return b != kPreamble; });
  } else {
    ++begin;
  }
  auto end = frame.end();
  if (end != begin && *(end - 1) == kCr) --end;
  return {begin, end};
}

std::vector<std::string> TextEngine::commands() const {
  std::vector<std::string> texts;
  for (const auto &frame : framesReceived()) texts.push_back(commandText(frame));
  return texts;
}

// --- framing ------------------------------------------------------------------

std::optional<std::chrono::milliseconds> TextEngine::pendingFrameTimeout() const {
  if (pending_.empty()) return std::nullopt;
  return kPartialFrameTimeout;
}

void TextEngine::onSilence() {
  recordReceived(pending_, traffic_flag::kIncomplete);
  pending_.clear();
}

void TextEngine::onLineReset() {
  if (!pending_.empty()) onSilence();
}

void TextEngine::onBytes(std::span<const std::uint8_t> bytes) {
  // Everything up to CR is one frame, preamble included; ESC marks where
  // the command text starts.
  for (std::uint8_t b : bytes) {
    pending_.push_back(b);
    if (b != kCr) continue;
    auto frame = std::move(pending_);
    pending_.clear();
    if (acceptFrame(frame)) handleCommand(commandText(frame));
  }
}

// --- behaviour ----------------------------------------------------------------

void TextEngine::reply(std::string_view text) {
  std::string frame;
  frame.reserve(text.size() + 2);
  frame.push_back(static_cast<char>(kEsc));
  frame.append(text);
  frame.push_back(static_cast<char>(kCr));
  answer(std::string_view(frame));
}

void TextEngine::handleCommand(const std::string &command) {
  // The host sends these without waiting: an answer would be taken for a
  // decode.
  if (command == "ON") {
    switchOnLocked();
    return;
  }
  if (command == "OFF") {
    switchOffLocked();
    return;
  }
  if (refuseAll_ || refuseNext_ > 0) {
    if (refuseNext_ > 0) --refuseNext_;
    reply("NG");
    return;
  }
  if (command == "VER") {
    reply(version_);
  } else if (command == "SET") {
    reply(toHexText(block_));
  } else if (command.starts_with("SAVE")) {
    auto block = fromHexText(std::string_view(command).substr(4));
    if (!block || block->size() != block_.size()) {
      reply("NG");
      return;
    }
    block_ = std::move(*block);
    reply("OK");
  } else {
    reply("NG");
  }
}

void TextEngine::sendOutcomeLocked(const ScanOutcome &outcome) {
  if (std::holds_alternative<Silence>(outcome)) return;
  const auto *barcode = std::get_if<Barcode>(&outcome);
  if (barcode == nullptr || !barcode->symbology.letter) {
    answer(kNoRead);
    return;
  }
  std::vector<std::uint8_t> text{static_cast<std::uint8_t>(*barcode->symbology.letter), '0', '0', '0'};
  text.insert(text.end(), barcode->data.begin(), barcode->data.end());
  text.push_back(kCr);
  answer(text);
  decodeSentLocked(*barcode);
}

}  // namespace readersim
