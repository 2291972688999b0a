// Answers an RFID module gives instead of its own, on demand: for commands
// that start with a given text, or for reads or writes of a given block.
// Not thread-safe: the module holds it under its lock.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace readersim {

enum class BlockAccess { Read, Write };

class FaultPlan {
 public:
  static constexpr int kAlways = -1;

  // The next `count` commands starting with `prefix` (kAlways: every one)
  // are answered with `answer`; an empty answer is no answer at all.
  void failCommands(std::string prefix, std::string answer, int count);
  // Accesses of `block` likewise, `times` times.
  void failBlock(BlockAccess access, int block, std::string answer, int times);
  void clear();

  // The answer to give instead, using up one of its times; command rules
  // first, in the order they were made.
  std::optional<std::string> takeCommand(std::string_view command);
  std::optional<std::string> takeBlock(BlockAccess access, int block);

 private:
  struct Rule {
    std::string prefix;                 // command rules
    std::optional<BlockAccess> access;  // block rules
    int block = 0;
    std::string answer;
    int remaining = 0;
  };
  std::optional<std::string> take(const auto &matches);

  std::vector<Rule> rules_;
};

}  // namespace readersim
