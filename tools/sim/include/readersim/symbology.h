// Barcode symbologies as the simulated engines report them: the type letter
// of the kind-2 engine and the type number of the SSI engines.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace readersim {

struct Symbology {
  // The table name ("code39", "upca+2"), or a raw form ("letter=V", "ssi=13").
  std::string name;
  // The kind-2 engine's type letter; nullopt: that engine cannot read it.
  std::optional<char> letter;
  // The SSI engines' type number; nullopt: those engines cannot read it.
  std::optional<std::uint8_t> ssiType;

  bool operator==(const Symbology &) const = default;
};

// One row of the table. letter 0: none; ssiType -1: none.
struct SymbologyEntry {
  std::string_view name;
  char letter;
  int ssiType;
};

// Every symbology either engine kind reports, in table order.
std::span<const SymbologyEntry> symbologyTable();

// A symbology by name. Case, '-', '_' and spaces are ignored ("EAN-13",
// "ean_13" and "ean13" are the same), and a few common aliases are known
// ("gs1-128", "itf", "databar", ...). Raw forms: "letter=X" gives the kind-2
// letter X (exactly one character other than CR, kept as typed), "ssi=N" the
// SSI type N (0 to 255, decimal or 0x-prefixed hexadecimal).
std::optional<Symbology> findSymbology(std::string_view name);

}  // namespace readersim
