// A text option read by one thread while another replaces it.
//
// The prefix, suffix and RFID key texts are written by the settings calls and
// read by the window procedure and the worker threads; a reader gets either
// the old or the new text, never one being replaced.
#pragma once

#include <mutex>

#include "core/byte_string.h"

namespace reader {

class GuardedText {
 public:
  GuardedText() = default;
  explicit GuardedText(const char *initial) { text_.assign(initial); }

  ByteString get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void set(const ByteString &text) {
    ByteString copy(text);
    std::lock_guard lock(mutex_);
    text_ = std::move(copy);
  }
  void set(const char *text) { set(ByteString::fromText(text ? text : "")); }

 private:
  mutable std::mutex mutex_;
  ByteString text_;
};

}  // namespace reader
