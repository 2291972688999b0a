// LibraryOptions: the library-wide options for output records, feedback and
// the scan time-out. The RFID auto-read options live in the ReaderDevice.
//
// Written by the settings calls and the start; read without a lock by the
// window procedure and the worker threads, so every integer is an atomic
// word and every text is replaced as a whole.
#pragma once

#include <atomic>

#include "core/guarded_text.h"

namespace reader {

struct LibraryOptions {
  std::atomic<int> scanTimeout{3};  // seconds a scan waits for a decode
  std::atomic<int> rfidOutputUid{0};
  std::atomic<int> rfidOutputData{0};
  std::atomic<int> rfidDataSeparator{0};
  std::atomic<int> goodReadSound{1};
  std::atomic<int> spareOption{2};
  std::atomic<int> vibrateTime{0};  // units of 500 ms
  std::atomic<int> keyboardOutput{0};
  std::atomic<int> terminatorPosition{0};
  std::atomic<int> terminatorChar{0};
  GuardedText outputPrefix;
  GuardedText outputSuffix;
  std::atomic<int> outputTypeCode{0};
  std::atomic<int> outputLength{0};
  std::atomic<int> goodReadSignalTime{0};     // ms
  std::atomic<int> goodReadIndicatorTime{0};  // units of 100 ms
  std::atomic<int> goodReadIndicatorMode{1};
};

// What every start (InitReader, InitReaderEx) puts back: the output format
// and the vibration; everything else keeps its value.
void resetOptionsOnStart(LibraryOptions &options);

// What a reset to the defaults puts back: every option. (The auto-read
// options of the ReaderDevice are reset beside it.)
void resetOptionsToDefaults(LibraryOptions &options);

}  // namespace reader
