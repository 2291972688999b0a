// What the two RFID module kinds share: the field of tags in front of the
// antenna, and answers given instead of their own on demand.
//
// All public methods are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/fault_plan.h"
#include "readersim/pty_device.h"
#include "readersim/sim_tag.h"

namespace readersim {

class RfidModule : public PtyDevice {
 public:
  static constexpr int kAlways = FaultPlan::kAlways;

  // The field holds tags in the order they were placed; a module that finds
  // several reports the first it can see. A tag placed with the UID of one
  // already there takes its place (and position).
  void placeTag(SimTag tag);
  // false when no tag with this UID is in the field.
  bool removeTag(std::span<const std::uint8_t> uid);
  void clearField();
  std::vector<SimTag> tags() const;
  // The tag as it is now, writes included.
  std::optional<SimTag> tag(std::span<const std::uint8_t> uid) const;

  // Answers given instead of the module's own (an empty answer: none at
  // all). The next `count` commands starting with `commandPrefix` (kind 5:
  // the command text, "rb05"; kind 6: the frame's hexadecimal text, case
  // ignored), or every read or write of `block` of whichever tag the module
  // addresses. Command rules come first.
  void failNext(std::string_view commandPrefix, std::string_view answer, int count = 1);
  void failBlockRead(int block, std::string_view answer, int times = kAlways);
  void failBlockWrite(int block, std::string_view answer, int times = kAlways);
  void clearFailures();

 protected:
  RfidModule(int kind, int startSpeed) : PtyDevice(kind, startSpeed) {}

  // For hooks and methods that hold mutex().
  std::vector<SimTag> &fieldLocked() { return field_; }
  const std::vector<SimTag> &fieldLocked() const { return field_; }
  SimTag *findTagLocked(std::span<const std::uint8_t> uid);
  const SimTag *findTagLocked(std::span<const std::uint8_t> uid) const;
  FaultPlan &faultsLocked() { return faults_; }
  // A tag came into the field; the module may report it at once.
  virtual void onTagPlacedLocked() {}
  // A command prefix as the module compares it.
  virtual std::string commandKey(std::string_view prefix) const { return std::string(prefix); }

 private:
  std::vector<SimTag> field_;
  FaultPlan faults_;
};

}  // namespace readersim
