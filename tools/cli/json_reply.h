// Reads one line that readerd sent: a JSON object whose members may be
// objects themselves (a reply's "fields", "start", "engine"). Strings are
// byte strings as readerd writes them: a \u escape up to 00FF is that byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace readerctl {

struct JsonReply {
  enum class Kind { Null, Bool, Number, String, Object, Array };
  Kind kind = Kind::Null;
  bool boolValue = false;
  double numberValue = 0;
  std::string text;                                        // String: its bytes; Number: the literal as written
  std::vector<std::pair<std::string, JsonReply>> members;  // Object, in the order sent
  std::vector<JsonReply> items;                            // Array

  // The member of that name (the last one of it); nullptr when there is none.
  const JsonReply *member(std::string_view name) const;
  // The member when it is of that kind; nullopt otherwise.
  std::optional<std::string> string(std::string_view name) const;
  std::optional<double> number(std::string_view name) const;
  std::optional<bool> boolean(std::string_view name) const;
  bool isNull() const { return kind == Kind::Null; }
};

// nullopt, with a one-line reason in `error`, for a line that is not one
// JSON value (objects nested more than 32 deep included).
std::optional<JsonReply> parseJsonReply(std::string_view line, std::string &error);

}  // namespace readerctl
