// The symbologies the barcode engines report, in one place: the library
// names decodes and reports decode type codes from these tables, and
// readerctl names the type codes from them.
#pragma once

namespace reader::symbology {

// The text engine's type letters (its decode type codes) and names.
struct TextEngineType {
  char letter;
  const char *name;  // for the UPC-A / EAN-13 family: the UPC-A name
  // Set for the UPC-A / EAN-13 family: the EAN-13 name, and where the check
  // digit sits (index length - checkDigitFromEnd).
  const char *ean13Name = nullptr;
  int checkDigitFromEnd = 0;
};

inline constexpr TextEngineType kTextEngineTypes[] = {
    {'A', "Code 39"},
    {'B', "Italian Pharma"},
    {'C', "French Pharma"},
    {'D', "Industrial 2/5"},
    {'E', "Interleave 2/5"},
    {'F', "Matrix 25"},
    {'G', "Codabar"},
    {'H', "Code 93"},
    {'I', "Code 128"},
    {'J', "UPCE"},
    {'K', "UPCE addon 2"},
    {'L', "UPCE addon 5"},
    {'M', "EAN-8"},
    {'N', "EAN-8 addon 2"},
    {'O', "EAN-8 addon 5"},
    {'P', "UPC-A", "EAN-13", 1},
    {'Q', "UPC-A addon 2", "EAN-13 addon 2", 3},
    {'R', "UPC-A addon 5", "EAN-13 addon 5", 6},
    {'S', "MSI"},
    {'T', "Plessey"},
    {'U', "EAN-128"},
    {'Z', "Telepen"},
    {'[', "RSS14"},
};

// The SSI engines' symbology numbers, their names, and the text engine's
// decode type code each is reported as (0: none).
struct SsiType {
  int number;
  const char *name;
  char typeCode;
};

inline constexpr SsiType kSsiTypes[] = {
    {1, "Code 39", 'A'},
    {2, "Codabar", 'G'},
    {3, "Code 128", 'I'},
    {4, "Discrete 2 of 5", 'j'},
    {5, "IATA25", 'i'},
    {6, "Interleave 2/5", 'E'},
    {7, "Code 93", 'H'},
    {8, "UPC-A", '^'},
    {9, "UPC-E0", 'J'},
    {10, "EAN8", 'M'},
    {11, "EAN13", 'P'},
    {12, "Code 11", 'g'},
    {14, "MSI", 'S'},
    {15, "EAN 128", 'U'},
    {16, "UPC-E1", 'a'},
    {17, "PDF417", 'k'},
    {19, "Code 39 Full ASCII", 'h'},
    {21, "Trioptic Code 39", 'e'},
    {22, "Bookland", 'f'},
    {23, "Coupon Code", 'x'},
    {25, "ISBT 128", 0},
    {26, "Micro PDF", 'l'},
    {27, "Data Matrix", 'm'},
    {28, "QR Code", 'o'},
    {30, "US Postnet", 'p'},
    {31, "US Planet", 'q'},
    {32, "Code 32", 'B'},
    {33, "ISBT-128", 0},
    {34, "Japan Postal", 's'},
    {35, "Australian Postal", 't'},
    {36, "Dutch Postal", 'u'},
    {37, "Maxicode", 'n'},
    {38, "Postbar (CA)", 0},
    {39, "UK Postal", 'r'},
    {40, "Macro PDF", 'w'},
    {48, "RSS14", '['},
    {49, "RSS Limited", '\\'},
    {50, "RSS Expanded", ']'},
    {51, "Parameter (FNC3)", 0},
    {55, "Scanlet Webcode", 0},
    {56, "Cue CAT Code", 0},
    {72, "UPC-A with 2 Digits Addenda", '_'},
    {73, "UPC-E0 with 2 Digits Addenda", 'K'},
    {74, "EAN8 with 2 Digits Addenda", 'N'},
    {75, "EAN13 with 2 Digits Addenda", 'Q'},
    {80, "UPC-E1 with 2 Digits Addenda", 'b'},
    {81, "Composite CC-A + EAN128", 'v'},
    {82, "Composite CC-A + EAN13", 'v'},
    {83, "Composite CC-A + EAN8", 'v'},
    {84, "Composite CC-A + RSS Expanded", 'v'},
    {85, "Composite CC-A + RSS Limited", 'v'},
    {86, "Composite CC-A + RSS14", 'v'},
    {87, "Composite CC-A + UPC-A", 'v'},
    {88, "Composite CC-A + UPC-E", 'v'},
    {89, "Composite CC-C + EAN128", 'v'},
    {90, "TLC-39", 'd'},
    {97, "Composite CC-B + EAN128", 'v'},
    {98, "Composite CC-B + EAN13", 'v'},
    {99, "Composite CC-B + EAN8", 'v'},
    {100, "Composite CC-B + RSS Expanded", 'v'},
    {101, "Composite CC-B + RSS Limited", 'v'},
    {102, "Composite CC-B + RSS14", 'v'},
    {103, "Composite CC-B + UPC-A", 'v'},
    {104, "Composite CC-B + UPC-E", 'v'},
    {136, "UPC-A with 5 Digits Addenda", '`'},
    {137, "UPC-E0 with 5 Digits Addenda", 'L'},
    {138, "EAN8 with 5 Digits Addenda", 'O'},
    {139, "EAN13 with 5 Digits Addenda", 'R'},
    {144, "UPC-E1 with 5 Digits Addenda", 'c'},
};

inline constexpr const TextEngineType *textEngineType(int letter) {
  for (const TextEngineType &type : kTextEngineTypes)
    if (type.letter == letter) return &type;
  return nullptr;
}

inline constexpr const SsiType *ssiType(int number) {
  for (const SsiType &type : kSsiTypes)
    if (type.number == number) return &type;
  return nullptr;
}

}  // namespace reader::symbology
