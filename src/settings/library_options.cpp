#include "settings/library_options.h"

namespace reader {

namespace {

struct IntegerValue {
  std::atomic<int> LibraryOptions::*option;
  int value;
};

constexpr IntegerValue kStartValues[] = {
    {&LibraryOptions::outputTypeCode, 0}, {&LibraryOptions::outputLength, 0},   {&LibraryOptions::rfidDataSeparator, 0},
    {&LibraryOptions::rfidOutputUid, 0},  {&LibraryOptions::rfidOutputData, 0}, {&LibraryOptions::vibrateTime, 0},
};

constexpr IntegerValue kDefaultValues[] = {
    {&LibraryOptions::goodReadSound, 1},         {&LibraryOptions::spareOption, 2},
    {&LibraryOptions::goodReadSignalTime, 0},    {&LibraryOptions::scanTimeout, 3},
    {&LibraryOptions::goodReadIndicatorTime, 0}, {&LibraryOptions::goodReadIndicatorMode, 1},
    {&LibraryOptions::outputTypeCode, 0},        {&LibraryOptions::outputLength, 0},
    {&LibraryOptions::rfidDataSeparator, 44},    {&LibraryOptions::rfidOutputUid, 1},
    {&LibraryOptions::rfidOutputData, 0},        {&LibraryOptions::vibrateTime, 0},
    {&LibraryOptions::keyboardOutput, 0},        {&LibraryOptions::terminatorPosition, 1},
    {&LibraryOptions::terminatorChar, 1},
};

template <std::size_t N>
void store(LibraryOptions &options, const IntegerValue (&values)[N]) {
  for (const IntegerValue &v : values) options.*v.option = v.value;
  options.outputPrefix.set("");
  options.outputSuffix.set("");
}

}  // namespace

void resetOptionsOnStart(LibraryOptions &options) { store(options, kStartValues); }

void resetOptionsToDefaults(LibraryOptions &options) { store(options, kDefaultValues); }

}  // namespace reader
