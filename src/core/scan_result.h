// ScanResult: the last decode kept in a channel, and the slot that holds it.
//
// A scan or tag cycle builds a complete result on its own and stores it in
// one step; the queries, the window procedure and the output record read a
// copy. A short lock of its own keeps a reader from seeing half of an old
// result and half of a new one, and never waits behind the port.
#pragma once

#include <mutex>

#include "core/byte_string.h"

namespace reader {

struct ScanResult {
  ScanResult() = default;  // not an aggregate: ScanResult{} must not brace-initialise the texts

  int code = 0;        // symbology (barcode) or TagType (RFID); 0 not recognised
  ByteString name;     // readable type name
  ByteString data;     // decoded data (barcode) or the tag's UID text (RFID)
  ByteString tagData;  // RFID: the bytes read from the tag memory
  int blockSize = 0;   // RFID: the tag's block size in bytes
};

class ScanResultSlot {
 public:
  ScanResult get() const {
    std::lock_guard lock(mutex_);
    return result_;
  }
  int code() const {
    std::lock_guard lock(mutex_);
    return result_.code;
  }
  // Replaces the whole result; the copy is made before the lock is taken.
  void set(ScanResult result) {
    std::lock_guard lock(mutex_);
    result_ = std::move(result);
  }
  // A closed device forgets what its code meant; the texts stay readable.
  void clearCode() {
    std::lock_guard lock(mutex_);
    result_.code = 0;
  }

 private:
  mutable std::mutex mutex_;
  ScanResult result_;
};

}  // namespace reader
