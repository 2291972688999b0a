#include "readersim/ascii_module.h"

#include <array>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "readersim/hex_text.h"
#include "readersim/line_speed.h"

namespace readersim {
namespace {

constexpr std::array<std::pair<std::uint8_t, int>, 5> kSpeedCodes{
    {{0x00, 9600}, {0x01, 19200}, {0x02, 38400}, {0x03, 57600}, {0x04, 115200}}};

constexpr std::uint8_t kFirstParameter = 0x0A;
constexpr std::uint8_t kLastParameter = 0x1F;

// Factory values of parameters 0x0A..0x1F (0x0C is the link speed and
// follows the module's speed).
constexpr std::array<std::uint8_t, kLastParameter - kFirstParameter + 1> kFactoryParameters{
    0x01, 0x00, 0x00, 0x10, 0x00, 0x02, 0x20, 0x01,  // 0A-11
    0x00, 0x05, 0x0A, 0x00, 0x3C, 0x01, 0x00, 0x00,  // 12-19
    0x80, 0x00, 0x07, 0x00, 0x00, 0x01,              // 1A-1F
};

bool isHex(char c) { return hexDigit(c).has_value(); }

std::optional<std::uint8_t> hexByteAt(const std::string &text, std::size_t at) {
  if (at + 2 > text.size()) return std::nullopt;
  auto high = hexDigit(text[at]);
  auto low = hexDigit(text[at + 1]);
  if (!high || !low) return std::nullopt;
  return static_cast<std::uint8_t>(*high << 4 | *low);
}

std::string hexByteText(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

}  // namespace

AsciiModule::AsciiModule() : AsciiModule(Options{}) {}

AsciiModule::AsciiModule(Options options)
    : RfidModule(5, options.startSpeed),
      version_(options.version),
      versionLine_(!options.versionLine.empty()         ? options.versionLine
                   : options.version == Version::Iso09v ? "ISO 0.9v"
                                                        : "MultiISO 1.0"),
      speedChangeAnswer_(options.speedChangeAnswer),
      noTagAnswer_(std::move(options.noTagAnswer)) {
  if (!codeOfSpeed(options.startSpeed)) throw std::invalid_argument("unsupported module speed");
  for (std::uint8_t n = kFirstParameter; n <= kLastParameter; ++n) {
    parameters_[n] = kFactoryParameters[n - kFirstParameter];
  }
  start();
}

AsciiModule::~AsciiModule() { shutdown(); }

std::optional<int> AsciiModule::speedOfCode(std::uint8_t code) { return speedOfDeviceCode(kSpeedCodes, code); }

std::optional<std::uint8_t> AsciiModule::codeOfSpeed(int bps) { return deviceCodeOfSpeed(kSpeedCodes, bps); }

// --- public -------------------------------------------------------------------

std::optional<std::uint8_t> AsciiModule::parameter(std::uint8_t number) const {
  std::lock_guard lock(mutex());
  if (number == kLinkSpeedParameter) return codeOfSpeed(speedLocked()).value_or(0);
  auto found = parameters_.find(number);
  if (found == parameters_.end()) return std::nullopt;
  return found->second;
}

bool AsciiModule::setParameter(std::uint8_t number, std::uint8_t value) {
  if (number == kLinkSpeedParameter) {
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

std::map<std::uint8_t, std::uint8_t> AsciiModule::parameters() const {
  std::lock_guard lock(mutex());
  auto all = parameters_;
  all[kLinkSpeedParameter] = codeOfSpeed(speedLocked()).value_or(0);
  return all;
}

void AsciiModule::setSpeedChangeAnswer(SpeedChangeAnswer answer) {
  std::lock_guard lock(mutex());
  speedChangeAnswer_ = answer;
}

void AsciiModule::setNoTagAnswer(std::string answer) {
  std::lock_guard lock(mutex());
  noTagAnswer_ = std::move(answer);
}

bool AsciiModule::reading() const {
  std::lock_guard lock(mutex());
  return reading_;
}

void AsciiModule::presentTag(std::string line) {
  {
    std::lock_guard lock(mutex());
    rawLine_ = std::move(line);
    if (!reading_) return;
    sendTagLocked();
  }
  wake();
}

void AsciiModule::removeTag() {
  std::lock_guard lock(mutex());
  rawLine_.reset();
}

std::optional<std::vector<std::uint8_t>> AsciiModule::selectedTag() const {
  std::lock_guard lock(mutex());
  if (!selected_ || findTagLocked(*selected_) == nullptr) return std::nullopt;
  return selected_;
}

std::vector<std::string> AsciiModule::commands() const {
  std::vector<std::string> texts;
  for (const auto &frame : framesReceived()) texts.emplace_back(frame.begin(), frame.end());
  return texts;
}

// --- framing ------------------------------------------------------------------

std::optional<std::size_t> AsciiModule::commandLength() const {
  if (pending_.empty()) return std::nullopt;
  switch (pending_[0]) {
    case 'v':
    case 's': return 1;
    case 'w':
      if (pending_.size() >= 2 && pending_[1] == 'p') return 6;
      return std::nullopt;
    case 'r':
      if (pending_.size() < 2) return std::nullopt;
      if (pending_[1] == 'p') return 4;
      // "rb" + block on a MultiISO module; on an ISO 0.9v module "r" + two
      // digits, where "rb0" is block 0xB0.
      if (version_ == Version::MultiIso10) return pending_[1] == 'b' ? std::optional<std::size_t>(4) : std::nullopt;
      return isHex(pending_[1]) ? std::optional<std::size_t>(3) : std::nullopt;
    default: return std::nullopt;
  }
}

std::optional<std::chrono::milliseconds> AsciiModule::pendingFrameTimeout() const {
  if (pending_.empty()) return std::nullopt;
  return kCommandSilence;
}

void AsciiModule::onSilence() { completeCommand(); }

void AsciiModule::onLineReset() { pending_.clear(); }

void AsciiModule::onHostClosed() { reading_ = false; }

void AsciiModule::onBytes(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    // A typed line end also ends a command, for people at a terminal.
    if (b == '\r' || b == '\n') {
      completeCommand();
      continue;
    }
    pending_.push_back(static_cast<char>(b));
    auto length = commandLength();
    if (length && pending_.size() >= *length) completeCommand();
  }
}

void AsciiModule::completeCommand() {
  if (pending_.empty()) return;
  std::string command = std::move(pending_);
  pending_.clear();
  if (acceptFrame(bytesOf(command))) handleCommand(command);
}

// --- behaviour ----------------------------------------------------------------

void AsciiModule::reply(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  answer(std::string_view(line));
}

// Reports the raw line or the first tag, and selects that tag.
void AsciiModule::sendTagLocked() {
  if (rawLine_) {
    selected_.reset();
    reply(*rawLine_);
  } else {
    const SimTag &first = fieldLocked().front();
    selected_ = first.uid();
    reply(first.asciiLine());
  }
  reading_ = false;
}

void AsciiModule::onTagPlacedLocked() {
  if (reading_ && !rawLine_) sendTagLocked();
}

void AsciiModule::handleCommand(const std::string &command) {
  if (auto instead = faultsLocked().takeCommand(command)) {
    if (!instead->empty()) reply(*instead);
  } else if (command == "v") {
    reply(versionLine_);
  } else if (command == "s") {
    handleSelect();
  } else if (command.starts_with("wp")) {
    handleParameterWrite(command);
  } else if (command.starts_with("rp")) {
    handleParameterRead(command);
  } else if (command[0] == 'l') {
    handleLogin(command);
  } else if (command[0] == 'r') {
    handleBlockRead(command);
  } else if (command[0] == 'w') {
    handleBlockWrite(command);
  } else {
    reply("?");
  }
}

// --- tags -----------------------------------------------------------------------

void AsciiModule::handleSelect() {
  reading_ = true;
  loggedInSector_.reset();
  if (rawLine_ || !fieldLocked().empty()) {
    sendTagLocked();
    return;
  }
  selected_.reset();
  if (noTagAnswer_.empty()) return;  // reading stays on for the next tag placed
  reply(noTagAnswer_);
  reading_ = false;
}

SimTag *AsciiModule::selectedOrAnswer() {
  SimTag *tag = selected_ ? findTagLocked(*selected_) : nullptr;
  if (tag == nullptr) reply("N");
  return tag;
}

std::optional<int> AsciiModule::blockNumber(const std::string &command, char letter, std::size_t &dataAt) const {
  std::string prefix(1, letter);
  if (version_ == Version::MultiIso10) prefix += 'b';
  if (!command.starts_with(prefix)) return std::nullopt;
  auto number = hexByteAt(command, prefix.size());
  if (!number) return std::nullopt;
  dataAt = prefix.size() + 2;
  return *number;
}

bool AsciiModule::answeredBlockFault(BlockAccess access, int block) {
  auto instead = faultsLocked().takeBlock(access, block);
  if (!instead) return false;
  if (!instead->empty()) reply(*instead);
  return true;
}

void AsciiModule::handleBlockRead(const std::string &command) {
  std::size_t dataAt = 0;
  auto block = blockNumber(command, 'r', dataAt);
  if (!block || command.size() != dataAt) {
    reply("?");
    return;
  }
  SimTag *tag = selectedOrAnswer();
  if (tag == nullptr) return;
  if (*block >= tag->blockCount()) {
    reply("O");
  } else if (answeredBlockFault(BlockAccess::Read, *block)) {
    return;
  } else if (tag->family() == TagFamily::Mifare && loggedInSector_ != *block / 4) {
    reply("F");
  } else {
    reply(toHexText(*tag->block(*block)));
  }
}

void AsciiModule::handleBlockWrite(const std::string &command) {
  std::size_t dataAt = 0;
  auto block = blockNumber(command, 'w', dataAt);
  auto data = block ? fromHexText(std::string_view(command).substr(dataAt)) : std::nullopt;
  if (!data || data->empty()) {
    reply("?");
    return;
  }
  SimTag *tag = selectedOrAnswer();
  if (tag == nullptr) return;
  if (*block >= tag->blockCount()) {
    reply("O");
  } else if (data->size() != tag->blockSize()) {
    reply("?");
  } else if (answeredBlockFault(BlockAccess::Write, *block)) {
    return;
  } else if (tag->family() == TagFamily::Mifare && loggedInSector_ != *block / 4) {
    reply("F");
  } else if (tag->readOnly(*block)) {
    reply("R");
  } else {
    tag->setBlock(*block, *data);
    reply(toHexText(*data));
  }
}

void AsciiModule::handleLogin(const std::string &command) {
  auto sector = hexByteAt(command, 1);
  if (!sector) {
    reply("?");
    return;
  }
  SimTag *tag = selectedOrAnswer();
  if (tag == nullptr) return;
  std::string_view key = std::string_view(command).substr(3);
  if (*sector < tag->sectorCount() && tag->sectorKey(*sector) == key) {
    loggedInSector_ = *sector;
    reply("L");
  } else {
    loggedInSector_.reset();
    reply("F");
  }
}

void AsciiModule::handleParameterWrite(const std::string &command) {
  auto number = hexByteAt(command, 2);
  auto value = hexByteAt(command, 4);
  if (command.size() != 6 || !number || !value) {
    reply("?");
    return;
  }
  if (*number == kLinkSpeedParameter) {
    auto newSpeed = speedOfCode(*value);
    if (speedChangeAnswer_ == SpeedChangeAnswer::Fail) {
      reply("F");
    } else if (speedChangeAnswer_ == SpeedChangeAnswer::Refuse || !newSpeed) {
      reply("R");
    } else {
      // The echo goes out at the old speed; the module moves after it.
      reply(hexByteText(*value));
      if (*newSpeed != speedLocked()) switchSpeedAfterAnswers(*newSpeed);
    }
    return;
  }
  auto found = parameters_.find(*number);
  if (found == parameters_.end()) {
    reply("R");
    return;
  }
  found->second = *value;
  reply(hexByteText(*value));
}

void AsciiModule::handleParameterRead(const std::string &command) {
  auto number = hexByteAt(command, 2);
  if (command.size() != 4 || !number) {
    reply("?");
    return;
  }
  if (*number == kLinkSpeedParameter) {
    reply(hexByteText(codeOfSpeed(speedLocked()).value_or(0)));
    return;
  }
  auto found = parameters_.find(*number);
  reply(found == parameters_.end() ? "R" : hexByteText(found->second));
}

}  // namespace readersim
