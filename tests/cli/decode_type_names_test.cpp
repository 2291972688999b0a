// readerctl names the decode type codes from the library's symbology tables:
// each engine family by its own names, a code an engine never reports by none.
#include "decode_type_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string nameOf(int code, bool textEngine) {
  const char *name = readerctl::decodeTypeName(code, textEngine);
  return name != nullptr ? name : "(none)";
}

TEST(DecodeTypeNames, EachEngineFamilyHasItsOwnNames) {
  EXPECT_EQ(nameOf('A', true), "Code 39");
  EXPECT_EQ(nameOf('A', false), "Code 39");
  EXPECT_EQ(nameOf('P', true), "UPC-A or EAN-13");  // told apart only by the data
  EXPECT_EQ(nameOf('P', false), "EAN13");
  EXPECT_EQ(nameOf('B', true), "Italian Pharma");
  EXPECT_EQ(nameOf('B', false), "Code 32");
  EXPECT_EQ(nameOf('U', false), "EAN 128");
  EXPECT_EQ(nameOf('v', false), "Composite (CC-A, CC-B or CC-C)");  // all composites share it
}

TEST(DecodeTypeNames, ACodeAnEngineNeverReportsHasNoName) {
  EXPECT_EQ(nameOf('T', false), "(none)");  // Plessey: text engine only
  EXPECT_EQ(nameOf('k', true), "(none)");   // PDF417: SSI engines only
  EXPECT_EQ(nameOf(0, true), "(none)");
  EXPECT_EQ(nameOf(0, false), "(none)");
}

}  // namespace
