#include "readersim/hex_module.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "readersim/hex_tag_answers.h"
#include "readersim/hex_text.h"

namespace readersim {
namespace {

// The shortest frame: 01, LL, 00 03 04, command, 00 00.
constexpr std::size_t kMinimumFrameBytes = 8;

// Request frames: 01 LL 00 03 04 18 flags operation block [data] 00 00.
constexpr std::uint8_t kRequestCommand = 0x18;
constexpr std::size_t kRequestHeaderBytes = 9;  // through the block number
constexpr std::uint8_t kTagitRead = 0x08;
constexpr std::uint8_t kTagitWrite = 0x28;
constexpr std::uint8_t kReadSingleBlock = 0x20;
constexpr std::uint8_t kWriteSingleBlock = 0x21;
constexpr std::uint8_t kReadMultipleBlocks = 0x23;
// ISO 15693 error codes.
constexpr std::uint8_t kErrorUnknown = 0x0F;
constexpr std::uint8_t kErrorNoSuchBlock = 0x10;
constexpr std::uint8_t kErrorBlockLocked = 0x12;

// A partial frame (or skipped garbage) is given up after this much silence:
// less than the host waits for an answer, so its retry starts on a clean line.
constexpr std::chrono::milliseconds kPartialFrameTimeout{500};

using Protocol = HexModule::Protocol;

struct FrameRole {
  std::string_view frame;
  enum class Role { Probe, Setup, Select, Detect } role;
  Protocol protocol;
};

constexpr std::array kFrames = std::to_array<FrameRole>({
    {HexModule::kProbeFrame, FrameRole::Role::Probe, Protocol::None},
    {HexModule::kSetupFrame1, FrameRole::Role::Setup, Protocol::None},
    {HexModule::kSetupFrame2, FrameRole::Role::Setup, Protocol::None},
    {HexModule::kSelectIso14443A, FrameRole::Role::Select, Protocol::Iso14443A},
    {HexModule::kSelectIso14443B, FrameRole::Role::Select, Protocol::Iso14443B},
    {HexModule::kSelectTagIt, FrameRole::Role::Select, Protocol::TagIt},
    {HexModule::kSelectIso15693, FrameRole::Role::Select, Protocol::Iso15693},
    {HexModule::kDetectIso14443A, FrameRole::Role::Detect, Protocol::Iso14443A},
    {HexModule::kDetectIso14443B, FrameRole::Role::Detect, Protocol::Iso14443B},
    {HexModule::kDetectTagIt, FrameRole::Role::Detect, Protocol::TagIt},
    {HexModule::kDetectIso15693, FrameRole::Role::Detect, Protocol::Iso15693},
});

std::string upper(std::string_view text) {
  std::string result(text);
  for (char &c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

HexModule::HexModule() : HexModule(Options{}) {}

HexModule::HexModule(Options options) : RfidModule(6, kSpeed), probeAnswer_(std::move(options.probeAnswer)) { start(); }

HexModule::~HexModule() { shutdown(); }

HexModule::Protocol HexModule::selectedProtocol() const {
  std::lock_guard lock(mutex());
  return selected_;
}

void HexModule::silenceFrame(std::string_view frame, int times) {
  std::lock_guard lock(mutex());
  silences_[upper(frame)] = times;
}

void HexModule::clearFrameSilences() {
  std::lock_guard lock(mutex());
  silences_.clear();
}

void HexModule::presentTag(Protocol protocol, std::string answer) {
  std::lock_guard lock(mutex());
  rawDetection_.emplace(protocol, std::move(answer));
}

void HexModule::removeTag() {
  std::lock_guard lock(mutex());
  rawDetection_.reset();
}

std::string HexModule::commandKey(std::string_view prefix) const { return upper(prefix); }

std::vector<std::string> HexModule::frames() const {
  std::vector<std::string> texts;
  for (const auto &frame : framesReceived()) texts.emplace_back(frame.begin(), frame.end());
  return texts;
}

// --- framing ------------------------------------------------------------------

std::optional<std::chrono::milliseconds> HexModule::pendingFrameTimeout() const {
  if (pending_.empty() && garbage_.empty()) return std::nullopt;
  return kPartialFrameTimeout;
}

void HexModule::onSilence() {
  flushGarbage();
  if (!pending_.empty()) recordReceived(bytesOf(pending_), traffic_flag::kIncomplete);
  pending_.clear();
}

void HexModule::onLineReset() { onSilence(); }

void HexModule::onBytes(std::span<const std::uint8_t> bytes) {
  pending_.append(bytes.begin(), bytes.end());
  scan();
}

void HexModule::skipGarbage(std::size_t count) {
  garbage_.append(pending_, 0, count);
  pending_.erase(0, count);
}

void HexModule::flushGarbage() {
  if (garbage_.empty()) return;
  recordReceived(bytesOf(garbage_), traffic_flag::kMalformed);
  garbage_.clear();
}

void HexModule::scan() {
  for (;;) {
    if (pending_.empty()) return;
    // Any character that is not a hexadecimal digit ends what came before.
    auto bad = std::find_if(pending_.begin(), pending_.end(), [](char c) { return !hexDigit(c); });
    std::size_t firstBad = static_cast<std::size_t>(bad - pending_.begin());
    if (pending_[0] != '0' || firstBad == 0) {
      skipGarbage(1);
      continue;
    }
    if (pending_.size() >= 2 && pending_[1] != '1') {
      skipGarbage(1);
      continue;
    }
    if (pending_.size() < 4) {
      if (firstBad == pending_.size()) return;  // a frame may still be starting
      skipGarbage(1);
      continue;
    }
    if (firstBad < 4) {
      skipGarbage(1);
      continue;
    }
    std::size_t length = static_cast<std::size_t>(*hexDigit(pending_[2]) << 4 | *hexDigit(pending_[3]));
    if (length < kMinimumFrameBytes) {
      skipGarbage(1);
      continue;
    }
    std::size_t chars = 2 * length;
    if (firstBad < std::min(chars, pending_.size())) {
      skipGarbage(1);
      continue;
    }
    if (pending_.size() < chars) return;
    flushGarbage();
    std::string frame = upper(std::string_view(pending_).substr(0, chars));
    pending_.erase(0, chars);
    handleFrame(frame);
  }
}

// --- behaviour ----------------------------------------------------------------

void HexModule::reply(std::string_view fields) {
  // One write: the host ends a frame at the first 40 ms gap.
  std::string text(fields);
  text += "\r\n";
  answer(std::string_view(text));
}

void HexModule::handleFrame(const std::string &frame) {
  unsigned flags = 0;
  if (auto silence = silences_.find(frame); silence != silences_.end() && silence->second != 0) {
    flags = traffic_flag::kIgnored;
    if (silence->second > 0) --silence->second;
  }
  if (!acceptFrame(bytesOf(frame), flags)) return;
  if (auto instead = faultsLocked().takeCommand(frame)) {
    if (!instead->empty()) reply(*instead);
    return;
  }

  auto known = std::find_if(kFrames.begin(), kFrames.end(), [&](const FrameRole &r) { return r.frame == frame; });
  if (known == kFrames.end()) {
    handleRequest(frame);
    return;
  }
  switch (known->role) {
    case FrameRole::Role::Probe: reply(probeAnswer_); break;
    case FrameRole::Role::Setup: reply("[00]"); break;
    case FrameRole::Role::Select:
      selected_ = known->protocol;
      reply("[00]");
      break;
    case FrameRole::Role::Detect: handleDetection(known->protocol); break;
  }
}

std::vector<const SimTag *> HexModule::tagsOfLocked(Protocol protocol) const {
  std::vector<const SimTag *> found;
  if (protocol != selected_) return found;  // the field is driven for the selected protocol only
  for (const SimTag &tag : fieldLocked()) {
    if (tag.info().protocol == protocol) found.push_back(&tag);
  }
  return found;
}

void HexModule::handleDetection(Protocol protocol) {
  if (rawDetection_ && rawDetection_->first == protocol) {
    reply(rawDetection_->second);
    return;
  }
  reply(hexDetectionAnswer(protocol, tagsOfLocked(protocol)));
}

bool HexModule::answeredBlockFault(BlockAccess access, int block) {
  auto instead = faultsLocked().takeBlock(access, block);
  if (!instead) return false;
  if (!instead->empty()) reply(*instead);
  return true;
}

void HexModule::handleRequest(const std::string &frame) {
  auto bytes = fromHexText(frame);
  if (!bytes || bytes->size() < kRequestHeaderBytes + 2 || (*bytes)[5] != kRequestCommand) return;
  const std::uint8_t operation = (*bytes)[7];
  const int block = (*bytes)[8];
  std::span<const std::uint8_t> data(bytes->begin() + kRequestHeaderBytes, bytes->end() - 2);
  Protocol protocol =
      operation == kTagitRead || operation == kTagitWrite ? Protocol::TagIt
      : operation == kReadSingleBlock || operation == kWriteSingleBlock || operation == kReadMultipleBlocks
          ? Protocol::Iso15693
          : Protocol::None;
  if (protocol == Protocol::None) return;  // not simulated
  auto tags = tagsOfLocked(protocol);
  if (tags.empty()) {
    reply(hexNoTagAnswer(protocol));
    return;
  }
  SimTag *tag = findTagLocked(tags.front()->uid());
  if (protocol == Protocol::TagIt) {
    handleTagitRequest(tag, operation, block, data);
  } else {
    handleVicinityRequest(tag, operation, block, data);
  }
}

void HexModule::handleTagitRequest(SimTag *tag, std::uint8_t operation, int block, std::span<const std::uint8_t> data) {
  const std::string silent = hexNoTagAnswer(Protocol::TagIt);
  if (block >= tag->blockCount()) {
    reply(silent);
  } else if (operation == kTagitRead) {
    if (answeredBlockFault(BlockAccess::Read, block)) return;
    auto bytes = *tag->block(block);
    reply(tagitReadAnswer(block, std::span<const std::uint8_t, 4>(bytes.data(), 4)));
  } else if (data.size() != tag->blockSize() || tag->readOnly(block)) {
    reply(silent);
  } else if (!answeredBlockFault(BlockAccess::Write, block)) {
    tag->setBlock(block, data);
    reply("[00]");
  }
}

void HexModule::handleVicinityRequest(SimTag *tag, std::uint8_t operation, int block,
                                      std::span<const std::uint8_t> data) {
  if (operation == kWriteSingleBlock) {
    if (block >= tag->blockCount()) {
      reply(vicinityError(kErrorNoSuchBlock));
    } else if (data.size() != tag->blockSize()) {
      reply(vicinityError(kErrorUnknown));
    } else if (answeredBlockFault(BlockAccess::Write, block)) {
      return;
    } else if (tag->readOnly(block)) {
      reply(vicinityError(kErrorBlockLocked));
    } else {
      tag->setBlock(block, data);
      reply(vicinityAnswer(tag->responseFlags(), {}));
    }
    return;
  }
  // Read Single Block takes one block; Read Multiple Blocks one more than
  // its count field.
  int last = block;
  if (operation == kReadMultipleBlocks) {
    if (data.empty()) return;  // no count field: not a request the tag takes
    last = block + data[0];
  }
  if (last >= tag->blockCount()) {
    reply(vicinityError(kErrorNoSuchBlock));
    return;
  }
  std::vector<std::uint8_t> blocks;
  for (int n = block; n <= last; ++n) {
    if (answeredBlockFault(BlockAccess::Read, n)) return;
    auto bytes = *tag->block(n);
    blocks.insert(blocks.end(), bytes.begin(), bytes.end());
  }
  reply(vicinityAnswer(tag->responseFlags(), blocks));
}

}  // namespace readersim
