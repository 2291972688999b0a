#include "readersim/hex_module.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

// The shortest frame: 01, LL, 00 03 04, command, 00 00.
constexpr std::size_t kMinimumFrameBytes = 8;

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

HexModule::HexModule(Options options) : PtyDevice(6, kSpeed), probeAnswer_(std::move(options.probeAnswer)) {
  start();
}

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
  tag_.emplace(protocol, std::move(answer));
}

void HexModule::removeTag() {
  std::lock_guard lock(mutex());
  tag_.reset();
}

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

  auto known = std::find_if(kFrames.begin(), kFrames.end(), [&](const FrameRole &r) { return r.frame == frame; });
  if (known == kFrames.end()) return;  // block commands and the like: not simulated yet
  switch (known->role) {
    case FrameRole::Role::Probe:
      reply(probeAnswer_);
      break;
    case FrameRole::Role::Setup:
      reply("[00]");
      break;
    case FrameRole::Role::Select:
      selected_ = known->protocol;
      reply("[00]");
      break;
    case FrameRole::Role::Detect:
      if (tag_ && tag_->first == known->protocol) {
        reply(tag_->second);
      } else {
        reply("[]");
      }
      break;
  }
}

}  // namespace readersim
