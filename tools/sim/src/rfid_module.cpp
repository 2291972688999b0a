#include "readersim/rfid_module.h"

#include <algorithm>
#include <utility>

namespace readersim {

const SimTag *RfidModule::findTagLocked(std::span<const std::uint8_t> uid) const {
  auto found =
      std::find_if(field_.begin(), field_.end(), [&](const SimTag &t) { return std::ranges::equal(t.uid(), uid); });
  return found == field_.end() ? nullptr : &*found;
}

SimTag *RfidModule::findTagLocked(std::span<const std::uint8_t> uid) {
  return const_cast<SimTag *>(std::as_const(*this).findTagLocked(uid));
}

void RfidModule::placeTag(SimTag tag) {
  {
    std::lock_guard lock(mutex());
    if (SimTag *same = findTagLocked(tag.uid())) {
      *same = std::move(tag);
    } else {
      field_.push_back(std::move(tag));
    }
    onTagPlacedLocked();
  }
  wake();
}

bool RfidModule::removeTag(std::span<const std::uint8_t> uid) {
  std::lock_guard lock(mutex());
  SimTag *found = findTagLocked(uid);
  if (found == nullptr) return false;
  field_.erase(field_.begin() + (found - field_.data()));
  return true;
}

void RfidModule::clearField() {
  std::lock_guard lock(mutex());
  field_.clear();
}

std::vector<SimTag> RfidModule::tags() const {
  std::lock_guard lock(mutex());
  return field_;
}

std::optional<SimTag> RfidModule::tag(std::span<const std::uint8_t> uid) const {
  std::lock_guard lock(mutex());
  const SimTag *found = findTagLocked(uid);
  if (found == nullptr) return std::nullopt;
  return *found;
}

void RfidModule::failNext(std::string_view commandPrefix, std::string_view answer, int count) {
  std::lock_guard lock(mutex());
  faults_.failCommands(commandKey(commandPrefix), std::string(answer), count);
}

void RfidModule::failBlockRead(int block, std::string_view answer, int times) {
  std::lock_guard lock(mutex());
  faults_.failBlock(BlockAccess::Read, block, std::string(answer), times);
}

void RfidModule::failBlockWrite(int block, std::string_view answer, int times) {
  std::lock_guard lock(mutex());
  faults_.failBlock(BlockAccess::Write, block, std::string(answer), times);
}

void RfidModule::clearFailures() {
  std::lock_guard lock(mutex());
  faults_.clear();
}

}  // namespace readersim
