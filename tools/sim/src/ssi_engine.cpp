#include "readersim/ssi_engine.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "readersim/hex_text.h"
#include "readersim/line_speed.h"
#include "readersim/ssi_decode.h"
#include "readersim/time_scale.h"

namespace readersim {
namespace {

using ssi::ParameterNumber;

constexpr std::array<std::pair<std::uint8_t, int>, 3> kSpeedCodes{{{6, 9600}, {8, 38400}, {11, 115200}}};

// A packet cut short is given up after this much silence: less than the
// host waits for an answer, so its retry starts on a clean line.
constexpr std::chrono::milliseconds kPartialPacketTimeout{500};

// Revision texts: model, firmware, the variant byte, then a suffix; the
// variant byte stands just before the third space.
constexpr std::string_view kRevisionKind3 = "SE4500 NBRDSAAK ";
constexpr std::string_view kRevisionKind4 = "SE955 NBRFMAAC ";

}  // namespace

SsiEngine::SsiEngine() : SsiEngine(Options{}) {}

SsiEngine::SsiEngine(Options options)
    : BarcodeEngine(options.kind, options.startSpeed),
      engineKind_(options.kind),
      keepsSpeedOnDefaults_(options.keepsSpeedOnDefaults),
      wakeNoticeDelay_(options.wakeNoticeDelay) {
  if (options.kind != 3 && options.kind != 4) throw std::invalid_argument("SSI engine kind must be 3 or 4");
  if (!codeOfSpeed(options.startSpeed)) throw std::invalid_argument("SSI engines run at 9600, 38400 or 115200");
  parameters_ = ssi::defaultParameters(engineKind_);
  variant_ = options.variantByte.value_or(engineKind_ == 3 ? kVariantKind3 : kVariantKind4);
  start();
}

SsiEngine::~SsiEngine() { shutdown(); }

std::optional<int> SsiEngine::speedOfCode(std::uint8_t code) { return speedOfDeviceCode(kSpeedCodes, code); }

std::optional<std::uint8_t> SsiEngine::codeOfSpeed(int bps) { return deviceCodeOfSpeed(kSpeedCodes, bps); }

// --- public -------------------------------------------------------------------

std::optional<std::uint8_t> SsiEngine::parameterLocked(ParameterNumber number) const {
  // The link speed is the device's speed itself, whoever moved it.
  if (number == ssi::kLinkSpeed) return codeOfSpeed(speedLocked()).value_or(0);
  auto found = parameters_.find(number);
  if (found == parameters_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::uint8_t> SsiEngine::parameter(ParameterNumber number) const {
  std::lock_guard lock(mutex());
  return parameterLocked(number);
}

bool SsiEngine::setParameter(ParameterNumber number, std::uint8_t value) {
  if (number == ssi::kLinkSpeed) {
    auto speed = speedOfCode(value);
    if (!speed) return false;
    setSpeed(*speed);
    return true;
  }
  std::lock_guard lock(mutex());
  auto found = parameters_.find(number);
  if (found == parameters_.end()) return false;
  found->second = value;
  return true;
}

std::map<ParameterNumber, std::uint8_t> SsiEngine::parameters() const {
  std::lock_guard lock(mutex());
  auto all = parameters_;
  all[ssi::kLinkSpeed] = *parameterLocked(ssi::kLinkSpeed);
  return all;
}

std::uint8_t SsiEngine::variantByte() const {
  std::lock_guard lock(mutex());
  return variant_;
}

void SsiEngine::setVariantByte(std::uint8_t variant) {
  std::lock_guard lock(mutex());
  variant_ = variant;
}

std::vector<std::uint8_t> SsiEngine::revisionText() const {
  std::lock_guard lock(mutex());
  return revisionTextLocked();
}

std::vector<std::uint8_t> SsiEngine::revisionTextLocked() const {
  auto text = bytesOf(engineKind_ == 3 ? kRevisionKind3 : kRevisionKind4);
  text.push_back(variant_);
  auto suffix = bytesOf(" 01");
  text.insert(text.end(), suffix.begin(), suffix.end());
  return text;
}

std::vector<SsiEngine::Event> SsiEngine::events() const {
  std::lock_guard lock(mutex());
  return events_;
}

std::optional<std::string> SsiEngine::refusal(const Barcode &barcode) const {
  if (!barcode.symbology.ssiType) return std::nullopt;  // seen, never decoded
  return ssi::decodeRefusal(*barcode.symbology.ssiType, barcode.data, barcode.ssiSegments);
}

bool SsiEngine::aiming() const {
  std::lock_guard lock(mutex());
  return aiming_;
}

void SsiEngine::nakNext(int packets, std::uint8_t cause) {
  std::lock_guard lock(mutex());
  nakNext_ = std::max(packets, 0);
  nakCause_ = cause;
}

void SsiEngine::setWakeLine(bool asserted) {
  applyLineChange([&] {
    const auto now = std::chrono::steady_clock::now();
    awakeBeforeChange_ = awakeLocked(now);
    wakeConnected_ = true;
    wakeAsserted_ = asserted;
    wakeChangedAt_ = now;
  });
}

bool SsiEngine::wakeLineAsserted() const {
  std::lock_guard lock(mutex());
  return wakeAsserted_;
}

bool SsiEngine::awake() const {
  std::lock_guard lock(mutex());
  return awakeLocked(std::chrono::steady_clock::now());
}

bool SsiEngine::awakeLocked(std::chrono::steady_clock::time_point now) const {
  if (!wakeNoticeDelay_) return false;
  if (now - wakeChangedAt_ >= scaled(*wakeNoticeDelay_)) return wakeAsserted_;
  return awakeBeforeChange_;
}

std::vector<ssi::Packet> SsiEngine::packetsReceived() const {
  std::vector<ssi::Packet> packets;
  for (const auto &frame : framesReceived()) {
    if (auto packet = ssi::parsePacket(frame)) packets.push_back(std::move(*packet));
  }
  return packets;
}

// --- framing ------------------------------------------------------------------

std::optional<std::chrono::milliseconds> SsiEngine::pendingFrameTimeout() const {
  if (pending_.empty()) return std::nullopt;
  return kPartialPacketTimeout;
}

void SsiEngine::onSilence() {
  recordReceived(pending_, traffic_flag::kIncomplete);
  pending_.clear();
}

void SsiEngine::onLineReset() {
  if (!pending_.empty()) onSilence();
}

void SsiEngine::onBytes(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    pending_.push_back(b);
    // The length byte counts everything but the two checksum bytes.
    if (pending_.size() == static_cast<std::size_t>(pending_[0]) + 2) {
      auto raw = std::move(pending_);
      pending_.clear();
      handlePacket(raw);
    }
  }
}

// --- behaviour ----------------------------------------------------------------

void SsiEngine::sendAck() { answer(ssi::makePacket(ssi::kOpcodeAck, ssi::kSourceEngine, 0)); }

void SsiEngine::sendNak(std::uint8_t cause) {
  std::uint8_t data[] = {cause};
  answer(ssi::makePacket(ssi::kOpcodeNak, ssi::kSourceEngine, 0, data));
}

void SsiEngine::handlePacket(const std::vector<std::uint8_t> &raw) {
  auto packet = ssi::parsePacket(raw);
  const bool checksumOk = ssi::checksumValid(raw);
  unsigned flags = checksumOk ? 0 : traffic_flag::kBadChecksum;
  if (wakeConnected_ && wakeAsserted_) flags |= traffic_flag::kWakeAsserted;
  if (!acceptFrame(raw, flags)) return;
  if (!checksumOk) {
    sendNak(ssi::kNakResend);
    return;
  }
  if (!packet) {  // a length byte below 4 leaves no room for the header
    sendNak(ssi::kNakBadContext);
    return;
  }
  // The host's own acknowledgements are never answered.
  if (packet->opcode == ssi::kOpcodeAck) {
    acknowledgeDecodeLocked();
    return;
  }
  if (packet->opcode == ssi::kOpcodeNak) return;
  if (nakNext_ > 0) {
    --nakNext_;
    sendNak(nakCause_);
    return;
  }

  switch (packet->opcode) {
    case ssi::kOpcodeRevisionRequest:
      answer(ssi::makePacket(ssi::kOpcodeRevisionReply, ssi::kSourceEngine, 0, revisionTextLocked()));
      break;
    case ssi::kOpcodeParamSend: handleParamSend(*packet); break;
    case ssi::kOpcodeParamRequest: handleParamRequest(*packet); break;
    case ssi::kOpcodeSetDefaults:
      sendAck();
      parameters_ = ssi::defaultParameters(engineKind_);
      if (speedLocked() != 9600 && !keepsSpeedOnDefaults_) switchSpeedAfterAnswers(9600);
      break;
    case ssi::kOpcodeStartDecode:
      events_.push_back(Event::StartDecode);
      sendAck();
      switchOnLocked();  // the decode follows the acknowledgement
      break;
    case ssi::kOpcodeStopDecode:
      events_.push_back(Event::StopDecode);
      switchOffLocked();
      sendAck();
      break;
    case ssi::kOpcodeAimOn:
      aiming_ = true;
      events_.push_back(Event::AimOn);
      sendAck();
      break;
    case ssi::kOpcodeAimOff:
      aiming_ = false;
      events_.push_back(Event::AimOff);
      sendAck();
      break;
    default: sendNak(ssi::kNakBadContext); break;
  }
}

void SsiEngine::handleParamSend(const ssi::Packet &packet) {
  // Data: beep code, then number/value pairs; a two-byte number is F0 xx.
  std::vector<std::pair<ParameterNumber, std::uint8_t>> pairs;
  const auto &data = packet.data;
  std::size_t i = 1;
  while (i < data.size()) {
    ParameterNumber number = data[i];
    std::size_t valueAt = i + 1;
    if (data[i] == ssi::kTwoBytePrefix) {
      if (i + 1 >= data.size()) break;
      number = ssi::twoByte(data[i + 1]);
      valueAt = i + 2;
    }
    if (valueAt >= data.size()) {
      sendNak(ssi::kNakBadContext);  // a number without its value: apply nothing
      return;
    }
    pairs.emplace_back(number, data[valueAt]);
    i = valueAt + 1;
  }
  if (data.empty() || i != data.size()) {
    sendNak(ssi::kNakBadContext);
    return;
  }

  std::optional<int> newSpeed;
  for (const auto &[number, value] : pairs) {
    if (number == ssi::kLinkSpeed) {
      newSpeed = speedOfCode(value);
      if (!newSpeed) {
        sendNak(ssi::kNakDenied);
        return;
      }
    }
  }
  // Parameters this engine does not have are passed over, as a real engine
  // of the other variant does.
  for (const auto &[number, value] : pairs) {
    auto found = parameters_.find(number);
    if (found != parameters_.end() && number != ssi::kLinkSpeed) found->second = value;
  }
  sendAck();
  if (newSpeed && *newSpeed != speedLocked()) switchSpeedAfterAnswers(*newSpeed);
}

void SsiEngine::handleParamRequest(const ssi::Packet &packet) {
  std::vector<std::uint8_t> data{ssi::kBeepNone};
  const auto &numbers = packet.data;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    ParameterNumber number = numbers[i];
    if (numbers[i] == ssi::kTwoBytePrefix) {
      if (i + 1 >= numbers.size()) break;
      number = ssi::twoByte(numbers[++i]);
    }
    auto value = parameterLocked(number);
    if (!value) continue;  // unknown here: left out of the answer
    std::size_t entrySize = ssi::isTwoByte(number) ? 3 : 2;
    if (4 + data.size() + entrySize > 0xFF) break;  // the length byte would overflow
    if (ssi::isTwoByte(number)) data.push_back(ssi::kTwoBytePrefix);
    data.push_back(static_cast<std::uint8_t>(number & 0xFF));
    data.push_back(*value);
  }
  answer(ssi::makePacket(ssi::kOpcodeParamSend, ssi::kSourceEngine, 0, data));
}

void SsiEngine::sendOutcomeLocked(const ScanOutcome &outcome) {
  const auto *barcode = std::get_if<Barcode>(&outcome);
  // No-reads, silence and symbologies without a type number: no packet.
  if (barcode == nullptr || !barcode->symbology.ssiType) return;
  answer(ssi::makeDecodePacket(*barcode->symbology.ssiType, barcode->data, barcode->ssiSegments));
  decodeSentLocked(*barcode);
  events_.push_back(Event::DecodeSent);
}

}  // namespace readersim
