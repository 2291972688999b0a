#include "cell.h"

#include <3100XE_DLL.h>

#include <ostream>

namespace fault_matrix {
namespace {

const char *opName(Op op) {
  switch (op) {
    case Op::Start: return "Start";
    case Op::Settings: return "Settings";
    case Op::Scan: return "Scan";
    case Op::TagRead: return "TagRead";
    case Op::TagWrite: return "TagWrite";
  }
  return "?";
}

const char *faultName(Fault fault) {
  switch (fault) {
    case Fault::Silent: return "Silent";
    case Fault::Garbage: return "Garbage";
    case Fault::Cut: return "Cut";
    case Fault::Oversized: return "Oversized";
    case Fault::Refusal: return "Refusal";
    case Fault::Vanish: return "Vanish";
    case Fault::WrongSpeed: return "WrongSpeed";
    case Fault::Trickle: return "Trickle";
  }
  return "?";
}

// What each operation reports when its device does not answer usefully.
int failure(int kind, Op op) {
  const bool engine = kind <= 4;
  switch (op) {
    case Op::Start:
    case Op::Settings: return engine ? READER_ERR_BARCODE_FAILED : READER_ERR_RFID_FAILED;
    case Op::Scan: return 0;
    case Op::TagRead: return READER_ERR_RFID_READ;
    case Op::TagWrite: return READER_ERR_RFID_WRITE;
  }
  return 0;
}

int expectedResult(int kind, Op op, Fault fault) {
  // A device that keeps sending bytes and never ends a frame answers
  // nothing; only an exchange that takes no answer at all goes through.
  if (fault == Fault::Trickle) {
    if (op == Op::Settings && (kind == 2 || kind == 6)) return READER_OK;
    return failure(kind, op);
  }
  // An oversized answer is still the whole answer: its start and its end
  // are where they belong, only the middle is long.
  if (fault == Fault::Oversized && op != Op::Scan) return op == Op::TagRead ? 8 : READER_OK;
  // The text engine's refusal is an answer to a command; scanning is
  // switched without one, so its scans go on. Its decode is the text up to
  // CR, so an oversized one is still a decode. (On the SSI engines the
  // filler lands in the packets the decode read counts on, and no decode
  // follows.)
  if (kind == 2 && op == Op::Scan && (fault == Fault::Refusal || fault == Fault::Oversized)) return 1;
  // The default setup of the text engine does not look at the answers, and
  // a kind-6 module once set up is not sent its set-up frames again.
  if (op == Op::Settings && (kind == 2 || kind == 6)) return READER_OK;
  // The kind-6 module's probe takes any answer, and so do its set-up frames.
  if (kind == 6 && op == Op::Start && (fault == Fault::Garbage || fault == Fault::Cut || fault == Fault::Refusal))
    return READER_OK;
  // The kind-6 error answer is a bracketed field like any other: taken for
  // a tag (its bytes for the UID), and its block read, answered the same
  // way, is the tag's error reply, no block, so no data.
  if (kind == 6 && op == Op::TagRead && fault == Fault::Refusal) return 0;
  return failure(kind, op);
}

}  // namespace

void PrintTo(const Cell &cell, std::ostream *out) { *out << cell.name() << " expecting " << cell.expected; }

std::string Cell::name() const { return "Kind" + std::to_string(kind) + "_" + opName(op) + "_" + faultName(fault); }

std::vector<Cell> allCells() {
  const Fault faults[] = {Fault::Silent,  Fault::Garbage, Fault::Cut,        Fault::Oversized,
                          Fault::Refusal, Fault::Vanish,  Fault::WrongSpeed, Fault::Trickle};
  std::vector<Cell> cells;
  for (int kind : {2, 3, 4, 5, 6}) {
    // The text engine's scans are driven by the trigger once its settings
    // say so (the factory configuration triggers itself).
    const std::vector<Op> ops = kind <= 4 ? std::vector<Op>{Op::Start, Op::Settings, Op::Scan}
                                          : std::vector<Op>{Op::Start, Op::Settings, Op::TagRead, Op::TagWrite};
    for (Op op : ops)
      for (Fault fault : faults) {
        // Nothing is sent to a kind-6 module once set up: no exchange to vanish in.
        if (kind == 6 && op == Op::Settings && fault == Fault::Vanish) continue;
        cells.push_back({kind, op, fault, expectedResult(kind, op, fault)});
      }
  }
  return cells;
}

}  // namespace fault_matrix
