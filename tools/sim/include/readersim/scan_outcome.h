// What one scan of a simulated barcode engine comes to.
#pragma once

#include <string>
#include <variant>

#include "readersim/barcode.h"

namespace readersim {

// The engine looked and found no barcode it could read, and says so where
// its protocol has a way to (the kind-2 engine's "*000").
struct NoRead {
  bool operator==(const NoRead &) const = default;
};

// The engine sends nothing at all for this scan.
struct Silence {
  bool operator==(const Silence &) const = default;
};

using ScanOutcome = std::variant<Barcode, NoRead, Silence>;

// "code39:ABC", "noread" or "silence": the words the control commands use.
std::string describe(const ScanOutcome &outcome);

}  // namespace readersim
