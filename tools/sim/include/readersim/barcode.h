// A barcode put in front of a simulated engine, and its text form
// "SYMBOLOGY:DATA" as people type it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/symbology.h"

namespace readersim {

struct Barcode {
  Symbology symbology;
  std::vector<std::uint8_t> data;
  // SSI engines only: 0 sends the decode as one plain packet; N (1 to 255)
  // uses the multi-packet form with the data in N segments.
  int ssiSegments = 0;

  bool operator==(const Barcode &) const = default;
};

// The outcome of parseBarcode: the barcode, or why the text is not one.
struct BarcodeParse {
  std::optional<Barcode> barcode;
  std::string error;  // one line; empty when barcode is set

  explicit operator bool() const { return barcode.has_value(); }
};

// "SYMBOLOGY:DATA" or "SYMBOLOGY/N:DATA" (N: SSI segments, see Barcode).
// SYMBOLOGY is anything findSymbology() knows. DATA is everything after the
// colon, kept byte for byte except for the escapes \\ \r \n \t \e (ESC) and
// \xHH. Empty data is allowed: it is what an engine sends for a barcode
// without content, an edge the host has to take.
BarcodeParse parseBarcode(std::string_view text);

// The text form of a barcode, data escaped where not printable ASCII;
// parseBarcode() of it gives the barcode back.
std::string formatBarcode(const Barcode &barcode);

// parseBarcode() for texts known to be good (tests, defaults): throws
// std::invalid_argument with the parse error otherwise.
Barcode barcodeOf(std::string_view text);

}  // namespace readersim
