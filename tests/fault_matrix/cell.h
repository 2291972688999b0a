// The cells of the fault matrix: a device kind, an operation, a fault, and
// what the operation reports under that fault.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace fault_matrix {

enum class Op { Start, Settings, Scan, TagRead, TagWrite };
enum class Fault { Silent, Garbage, Cut, Oversized, Refusal, Vanish, WrongSpeed, Trickle };

struct Cell {
  int kind = 0;  // 2, 3, 4 (engines), 5, 6 (modules)
  Op op = Op::Start;
  Fault fault = Fault::Silent;
  // The result under the fault: InitReader's for Start, ResetReaderToDefault's
  // for Settings (getting and setting the record report 1 whatever the
  // engine does), ReadRfidData's and WriteRfidData's; for Scan the number
  // of decodes announced while the fault holds.
  int expected = 0;

  bool isEngine() const { return kind <= 4; }
  std::string name() const;
};

std::vector<Cell> allCells();
void PrintTo(const Cell &cell, std::ostream *out);

}  // namespace fault_matrix
