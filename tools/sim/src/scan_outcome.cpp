#include "readersim/scan_outcome.h"

namespace readersim {

std::string describe(const ScanOutcome &outcome) {
  if (const auto *barcode = std::get_if<Barcode>(&outcome)) return formatBarcode(*barcode);
  return std::holds_alternative<NoRead>(outcome) ? "noread" : "silence";
}

}  // namespace readersim
