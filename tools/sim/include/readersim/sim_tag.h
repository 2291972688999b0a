// One simulated RFID tag: its family, UID and memory, and what its family
// adds (Mifare sector keys, the Tag-it information byte, the ISO 15693
// response flags).
//
// The UID is kept most significant byte first, as the host shows it: the
// kind-5 tag line carries it in this order, a kind-6 ISO 15693 answer in
// reverse. ISO 15693 UIDs carry their manufacturer code in byte 1.
//
// Fresh memory is zero except where a real tag holds its UID: Mifare block 0
// (UID, check byte, SAK, ATQA; read-only, as on a real card) and Ultralight
// blocks 0 to 2 (writable here, so that any family serves a test of block 0
// writes). No other block is read-only unless made so. Mifare sector
// trailers (block 3 of every 4) hold key A as read back (zeros), the
// transport access bits FF 07 80 69 and key B FF..FF; every sector's login
// key text is empty, the key a host sends when it is given none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "readersim/tag_family.h"

namespace readersim {

class SimTag {
 public:
  // Throws std::invalid_argument with a one-line reason when the UID does
  // not suit the family: its length (TagFamilyInfo::uidLengths), or an
  // ISO 15693 manufacturer code (byte 1) that would make the host name
  // another family.
  SimTag(TagFamily family, std::vector<std::uint8_t> uid);

  TagFamily family() const { return family_; }
  const TagFamilyInfo &info() const { return familyInfo(family_); }
  int tagType() const { return static_cast<int>(family_); }

  const std::vector<std::uint8_t> &uid() const { return uid_; }
  std::string uidText() const;
  // The kind-5 module's line for this tag (without line end): family letter
  // and UID in uppercase hexadecimal.
  std::string asciiLine() const;

  std::size_t blockSize() const { return info().blockSize; }
  int blockCount() const { return static_cast<int>(memory_.size() / blockSize()); }
  // Tag-it tags report their count in one byte (so at most 255 are seen);
  // any tag may be given another count, 1 to 256. New blocks are zero
  // (Mifare: new trailers as above).
  void setBlockCount(int count);

  const std::vector<std::uint8_t> &memory() const { return memory_; }
  // nullopt past the end.
  std::optional<std::vector<std::uint8_t>> block(int number) const;
  // Writes a whole block, read-only or not; false when the number is out of
  // range or `data` is not one block long.
  bool setBlock(int number, std::span<const std::uint8_t> data);
  // Lays `data` into the data blocks from the family's first data block on,
  // passing over Mifare sector trailers, as the host's reads with the
  // default start take it out again. Throws std::invalid_argument when it
  // does not fit.
  void fillData(std::span<const std::uint8_t> data);
  // How many bytes fillData() takes.
  std::size_t dataCapacity() const;

  // Blocks a module refuses to write.
  bool readOnly(int block) const { return readOnly_.contains(block); }
  void setReadOnly(int block, bool on = true);

  // Mifare: sectors of 4 blocks, block 3 of each the trailer. Other
  // families have no sectors.
  int sectorCount() const { return static_cast<int>(sectorKeys_.size()); }
  bool isSectorTrailer(int block) const { return family_ == TagFamily::Mifare && block % 4 == 3; }
  // The key text a login to the sector must carry; an empty text is a key
  // too. Throws std::out_of_range for a sector the tag does not have.
  const std::string &sectorKey(int sector) const { return sectorKeys_.at(static_cast<std::size_t>(sector)); }
  void setSectorKey(int sector, std::string key);
  void setAllSectorKeys(const std::string &key);

  // Tag-it: byte 8 of the kind-6 detection answer (byte 9 is the block
  // count). The host reads Tag-it data only when both are nonzero.
  std::uint8_t tagitInfo() const { return tagitInfo_; }
  void setTagitInfo(std::uint8_t info) { tagitInfo_ = info; }

  // ISO 15693: the response flags byte that starts every answer of the tag.
  std::uint8_t responseFlags() const { return responseFlags_; }
  void setResponseFlags(std::uint8_t flags) { responseFlags_ = flags; }

  bool operator==(const SimTag &) const = default;

 private:
  void initialiseMemory();

  TagFamily family_;
  std::vector<std::uint8_t> uid_;
  std::vector<std::uint8_t> memory_;
  std::set<int> readOnly_;
  std::vector<std::string> sectorKeys_;
  std::uint8_t tagitInfo_ = 0x01;
  std::uint8_t responseFlags_ = 0x00;
};

}  // namespace readersim
