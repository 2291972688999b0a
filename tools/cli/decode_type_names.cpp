#include "decode_type_names.h"

namespace readerctl {

namespace {

struct DecodeTypeName {
  char code;
  const char *textEngine;  // nullptr: the text engine never reports it
  const char *ssiEngine;   // nullptr: the SSI engines never report it
};

// The text engine's names for its letters, and the names of the SSI
// symbologies translated to each letter. The text engine cannot tell UPC-A
// from EAN-13 by the letter alone (the library decides by the data).
constexpr DecodeTypeName kNames[] = {
    {'A', "Code 39", "Code 39"},
    {'B', "Italian Pharma", "Code 32"},
    {'C', "French Pharma", nullptr},
    {'D', "Industrial 2/5", nullptr},
    {'E', "Interleave 2/5", "Interleave 2/5"},
    {'F', "Matrix 25", nullptr},
    {'G', "Codabar", "Codabar"},
    {'H', "Code 93", "Code 93"},
    {'I', "Code 128", "Code 128"},
    {'J', "UPCE", "UPC-E0"},
    {'K', "UPCE addon 2", "UPC-E0 with 2 Digits Addenda"},
    {'L', "UPCE addon 5", "UPC-E0 with 5 Digits Addenda"},
    {'M', "EAN-8", "EAN8"},
    {'N', "EAN-8 addon 2", "EAN8 with 2 Digits Addenda"},
    {'O', "EAN-8 addon 5", "EAN8 with 5 Digits Addenda"},
    {'P', "UPC-A or EAN-13", "EAN13"},
    {'Q', "UPC-A addon 2 or EAN-13 addon 2", "EAN13 with 2 Digits Addenda"},
    {'R', "UPC-A addon 5 or EAN-13 addon 5", "EAN13 with 5 Digits Addenda"},
    {'S', "MSI", "MSI"},
    {'T', "Plessey", nullptr},
    {'U', "EAN-128", "EAN 128"},
    {'Z', "Telepen", nullptr},
    {'[', "RSS14", "RSS14"},
    {'\\', nullptr, "RSS Limited"},
    {']', nullptr, "RSS Expanded"},
    {'^', nullptr, "UPC-A"},
    {'_', nullptr, "UPC-A with 2 Digits Addenda"},
    {'`', nullptr, "UPC-A with 5 Digits Addenda"},
    {'a', nullptr, "UPC-E1"},
    {'b', nullptr, "UPC-E1 with 2 Digits Addenda"},
    {'c', nullptr, "UPC-E1 with 5 Digits Addenda"},
    {'d', nullptr, "TLC-39"},
    {'e', nullptr, "Trioptic Code 39"},
    {'f', nullptr, "Bookland"},
    {'g', nullptr, "Code 11"},
    {'h', nullptr, "Code 39 Full ASCII"},
    {'i', nullptr, "IATA25"},
    {'j', nullptr, "Discrete 2 of 5"},
    {'k', nullptr, "PDF417"},
    {'l', nullptr, "Micro PDF"},
    {'m', nullptr, "Data Matrix"},
    {'n', nullptr, "Maxicode"},
    {'o', nullptr, "QR Code"},
    {'p', nullptr, "US Postnet"},
    {'q', nullptr, "US Planet"},
    {'r', nullptr, "UK Postal"},
    {'s', nullptr, "Japan Postal"},
    {'t', nullptr, "Australian Postal"},
    {'u', nullptr, "Dutch Postal"},
    {'v', nullptr, "Composite (CC-A, CC-B or CC-C)"},
    {'w', nullptr, "Macro PDF"},
    {'x', nullptr, "Coupon Code"},
};

}  // namespace

const char *decodeTypeName(int code, bool textEngine) {
  for (const DecodeTypeName &entry : kNames) {
    if (entry.code == code) return textEngine ? entry.textEngine : entry.ssiEngine;
  }
  return nullptr;
}

}  // namespace readerctl
