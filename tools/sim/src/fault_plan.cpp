#include "readersim/fault_plan.h"

#include <algorithm>

namespace readersim {

void FaultPlan::failCommands(std::string prefix, std::string answer, int count) {
  if (count == 0) return;
  rules_.push_back({std::move(prefix), std::nullopt, 0, std::move(answer), count});
}

void FaultPlan::failBlock(BlockAccess access, int block, std::string answer, int times) {
  if (times == 0) return;
  rules_.push_back({{}, access, block, std::move(answer), times});
}

void FaultPlan::clear() { rules_.clear(); }

std::optional<std::string> FaultPlan::take(const auto &matches) {
  auto rule = std::find_if(rules_.begin(), rules_.end(), matches);
  if (rule == rules_.end()) return std::nullopt;
  std::string answer = rule->answer;
  if (rule->remaining > 0 && --rule->remaining == 0) rules_.erase(rule);
  return answer;
}

std::optional<std::string> FaultPlan::takeCommand(std::string_view command) {
  return take([&](const Rule &r) { return !r.access && command.starts_with(r.prefix); });
}

std::optional<std::string> FaultPlan::takeBlock(BlockAccess access, int block) {
  return take([&](const Rule &r) { return r.access == access && r.block == block; });
}

}  // namespace readersim
