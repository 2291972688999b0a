#include "readersim/sim_tag.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

// Key A reads back as zeros; access bits of a card as delivered; key B.
constexpr std::uint8_t kMifareTrailer[16] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x07,
                                             0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// Cascade tag that starts the check byte of a 7-byte UID's first part.
constexpr std::uint8_t kCascadeTag = 0x88;
constexpr int kMaxBlockCount = 255;

std::string hexByte(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string uidLengthRule(const TagFamilyInfo &info) {
  std::string rule = std::string(info.name) + " UIDs are " + std::to_string(info.uidLengths[0]);
  if (info.uidLengths[1] != info.uidLengths[0]) rule += " or " + std::to_string(info.uidLengths[1]);
  return rule + " bytes";
}

void checkUid(const TagFamilyInfo &info, const std::vector<std::uint8_t> &uid) {
  if (uid.size() != info.uidLengths[0] && uid.size() != info.uidLengths[1]) {
    throw std::invalid_argument(uidLengthRule(info) + ", not " + std::to_string(uid.size()));
  }
  if (info.letter != 'V') return;
  // The host names an ISO 15693 tag by UID byte 1.
  std::uint8_t code = uid[1];
  if (info.manufacturerCode && code != *info.manufacturerCode) {
    throw std::invalid_argument(std::string(info.name) + " UIDs carry the manufacturer code " +
                                hexByte(*info.manufacturerCode) + " in byte 1 (E0" + hexByte(*info.manufacturerCode) +
                                "...), not " + hexByte(code));
  }
  if (!info.manufacturerCode) {
    if (auto named = familyOfManufacturerCode(code)) {
      throw std::invalid_argument("UID byte 1 is " + hexByte(code) + ", the manufacturer code of " +
                                  std::string(familyInfo(*named).name) + " tags; use that family");
    }
  }
}

}  // namespace

SimTag::SimTag(TagFamily family, std::vector<std::uint8_t> uid) : family_(family), uid_(std::move(uid)) {
  const TagFamilyInfo &family_info = familyInfo(family);
  checkUid(family_info, uid_);
  memory_.assign(family_info.blockSize * static_cast<std::size_t>(family_info.blockCount), 0);
  if (family == TagFamily::Mifare) sectorKeys_.assign(static_cast<std::size_t>(family_info.blockCount / 4), "");
  initialiseMemory();
}

void SimTag::initialiseMemory() {
  if (family_ == TagFamily::Mifare) {
    std::vector<std::uint8_t> first(uid_);
    if (uid_.size() == 4) {
      std::uint8_t check = 0;
      for (std::uint8_t b : uid_) check ^= b;
      first.push_back(check);
    }
    for (std::uint8_t b : {info().sak, std::uint8_t{0x04}, std::uint8_t{0x00}}) first.push_back(b);
    first.resize(blockSize(), 0);
    setBlock(0, first);
    setReadOnly(0);  // the manufacturer block
    for (int block = 3; block < blockCount(); block += 4) setBlock(block, kMifareTrailer);
  } else if (family_ == TagFamily::MifareUltralight) {
    const auto &u = uid_;
    const std::uint8_t pages[12] = {u[0], u[1], u[2], static_cast<std::uint8_t>(kCascadeTag ^ u[0] ^ u[1] ^ u[2]), u[3],
                                    u[4], u[5], u[6], static_cast<std::uint8_t>(u[3] ^ u[4] ^ u[5] ^ u[6]),        0x48,
                                    0x00, 0x00};
    std::copy(std::begin(pages), std::end(pages), memory_.begin());
  }
}

std::string SimTag::uidText() const { return toHexText(uid_); }

std::string SimTag::asciiLine() const { return info().letter + uidText(); }

void SimTag::setBlockCount(int count) {
  if (count < 1 || count > kMaxBlockCount + 1) throw std::invalid_argument("a tag has 1 to 256 blocks");
  int old = blockCount();
  memory_.resize(blockSize() * static_cast<std::size_t>(count), 0);
  if (family_ != TagFamily::Mifare) return;
  sectorKeys_.resize(static_cast<std::size_t>(count / 4), "");
  for (int block = 3; block < count; block += 4) {
    if (block >= old) setBlock(block, kMifareTrailer);
  }
}

std::optional<std::vector<std::uint8_t>> SimTag::block(int number) const {
  if (number < 0 || number >= blockCount()) return std::nullopt;
  auto start = memory_.begin() + static_cast<std::ptrdiff_t>(blockSize() * static_cast<std::size_t>(number));
  return std::vector<std::uint8_t>(start, start + static_cast<std::ptrdiff_t>(blockSize()));
}

bool SimTag::setBlock(int number, std::span<const std::uint8_t> data) {
  if (number < 0 || number >= blockCount() || data.size() != blockSize()) return false;
  std::copy(data.begin(), data.end(), memory_.begin() + static_cast<std::ptrdiff_t>(blockSize() * number));
  return true;
}

std::size_t SimTag::dataCapacity() const {
  std::size_t capacity = 0;
  for (int block = info().firstDataBlock; block < blockCount(); ++block) {
    if (!isSectorTrailer(block)) capacity += blockSize();
  }
  return capacity;
}

void SimTag::fillData(std::span<const std::uint8_t> data) {
  if (data.size() > dataCapacity()) {
    throw std::invalid_argument(std::to_string(data.size()) + " data bytes do not fit: a " + std::string(info().name) +
                                " tag holds " + std::to_string(dataCapacity()) + " from block " +
                                std::to_string(info().firstDataBlock));
  }
  std::size_t done = 0;
  for (int block = info().firstDataBlock; done < data.size(); ++block) {
    if (isSectorTrailer(block)) continue;
    std::size_t count = std::min(blockSize(), data.size() - done);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(done), count,
                memory_.begin() + static_cast<std::ptrdiff_t>(blockSize() * static_cast<std::size_t>(block)));
    done += count;
  }
}

void SimTag::setReadOnly(int block, bool on) {
  if (on) {
    readOnly_.insert(block);
  } else {
    readOnly_.erase(block);
  }
}

void SimTag::setSectorKey(int sector, std::string key) {
  sectorKeys_.at(static_cast<std::size_t>(sector)) = std::move(key);
}

void SimTag::setAllSectorKeys(const std::string &key) { std::fill(sectorKeys_.begin(), sectorKeys_.end(), key); }

}  // namespace readersim
