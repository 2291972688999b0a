// The protocol's JSON: what the writer escapes, what the line reader takes
// and what it refuses.
#include <gtest/gtest.h>

#include <string>

#include "json_line.h"
#include "json_writer.h"

namespace {

using readerd::JsonValue;
using readerd::parseJsonLine;

TEST(JsonTextTest, EveryByteValueSurvivesTheWriterAndTheReader) {
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  const std::string line = readerd::JsonWriter().field("data", bytes).field("n", -42).field("ok", true).line();
  // One line of printable ASCII, whatever the data held.
  ASSERT_EQ(line.back(), '\n');
  for (std::size_t i = 0; i + 1 < line.size(); ++i) EXPECT_TRUE(line[i] >= 0x20 && line[i] < 0x7F) << "position " << i;
  const auto parse = parseJsonLine(std::string_view(line).substr(0, line.size() - 1));
  ASSERT_TRUE(parse.object) << parse.error;
  EXPECT_EQ(parse.object->string("data"), bytes);
  EXPECT_EQ(parse.object->number("n"), -42);
  EXPECT_EQ(parse.object->boolean("ok"), true);
}

TEST(JsonTextTest, TheReaderTakesWhatJsonAllows) {
  const auto parse = parseJsonLine(
      " { \"s\" : \"a\\/b\\u00e9\\u20ac\\ud83d\\ude00\\t\" , \"n\":-0.5e+2,\"z\":0,\"f\":false,\"x\":null,"
      "\"s\":\"last\", \"e\":\"\" }\r");
  ASSERT_TRUE(parse.object) << parse.error;
  const auto &object = *parse.object;
  EXPECT_EQ(object.string("s"), "last");  // a repeated name keeps the last value
  EXPECT_EQ(object.number("n"), -50);
  EXPECT_EQ(object.number("z"), 0);
  EXPECT_EQ(object.boolean("f"), false);
  EXPECT_EQ(object.find("x")->kind, JsonValue::Kind::Null);
  EXPECT_EQ(object.string("e"), "");
  EXPECT_EQ(object.find("n")->json, "-0.5e+2");
  EXPECT_TRUE(parseJsonLine("{}").object);

  const auto escaped = parseJsonLine(R"({"s":"a\/b\u00e9\u20ac\ud83d\ude00\t"})");
  ASSERT_TRUE(escaped.object);
  EXPECT_EQ(escaped.object->string("s"), "a/b\xE9\xE2\x82\xAC\xF0\x9F\x98\x80\t");
}

TEST(JsonTextTest, TheReaderRefusesWhatJsonDoesNotAllow) {
  for (const char *line : {"",
                           "   ",
                           "{",
                           "}",
                           "[]",
                           "{\"a\":1",
                           "{\"a\" 1}",
                           "{a:1}",
                           "{'a':1}",
                           "{\"a\":01}",
                           "{\"a\":1.}",
                           "{\"a\":.5}",
                           "{\"a\":+1}",
                           "{\"a\":-}",
                           "{\"a\":1e}",
                           "{\"a\":0x10}",
                           "{\"a\":NaN}",
                           "{\"a\":Infinity}",
                           "{\"a\":tru}",
                           "{\"a\":\"\\x41\"}",
                           "{\"a\":\"\\u12\"}",
                           "{\"a\":\"\\ud800\"}",
                           "{\"a\":\"\\udc00\"}",
                           "{\"a\":\"\\ud800\\u0041\"}",
                           "{\"a\":[1]}",
                           "{\"a\":{}}",
                           "{\"a\":1,}",
                           "{,}",
                           "{\"a\":1}{\"b\":2}",
                           "{\"a\":1} x",
                           "{\"a\":\"tab\there\"}"}) {
    const auto parse = parseJsonLine(line);
    EXPECT_FALSE(parse.object) << line;
    EXPECT_FALSE(parse.error.empty()) << line;
  }
  // Nesting is named as such, and the column is given.
  EXPECT_EQ(parseJsonLine(R"({"a":[1]})").error, "nested objects and arrays are not accepted (member \"a\")");
}

}  // namespace
