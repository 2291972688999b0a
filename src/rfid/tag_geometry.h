// Where each tag family keeps its data, and how a byte range of tag memory
// maps onto its blocks.
#pragma once

namespace reader {

// No read or write covers more than this many bytes.
inline constexpr int kMaxTagDataBytes = 128;

struct TagGeometry {
  int firstDataBlock;    // where a read or write without start address begins
  int lastBlock;         // no block past it is read or written
  bool trailersSkipped;  // Mifare: a default range passes over sector trailers
};

// The geometry of a TagType; families without an entry of their own get
// first block 0 and last block 255.
const TagGeometry &tagGeometry(int tagType);

struct BlockRange {
  int startBlock = 0;
  int endBlock = 0;
  int startOffset = 0;  // first byte used in the start block
  int endOffset = 0;    // last byte used in the end block
};

// Maps `length` bytes (at most kMaxTagDataBytes are taken) from byte address
// `start` onto blocks of `blockSize` bytes. A negative start begins at the
// family's first data block, with Mifare sector trailers left out of the
// count; an explicit start counts every block. A range past the family's last
// block is shortened to end there. False, with the range zeroed, for a block
// size or length below 1 or a start past the last block.
bool computeBlockRange(int tagType, int blockSize, int start, int length, BlockRange &range);

}  // namespace reader
