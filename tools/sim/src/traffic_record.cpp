#include "readersim/traffic_record.h"

#include <cstdio>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

const char *typeName(RecordType type) {
  switch (type) {
    case RecordType::FromHost: return "host->dev";
    case RecordType::ToHost: return "dev->host";
    case RecordType::HostOpened: return "host opened";
    case RecordType::HostClosed: return "host closed";
    case RecordType::SpeedChanged: return "speed changed";
    case RecordType::Vanished: return "vanished";
  }
  return "?";
}

std::string flagNames(unsigned flags) {
  static constexpr struct {
    unsigned flag;
    const char *name;
  } kNames[] = {
      {traffic_flag::kGarbled, "garbled"},       {traffic_flag::kBadChecksum, "bad-checksum"},
      {traffic_flag::kNotSent, "not-sent"},      {traffic_flag::kInjected, "injected"},
      {traffic_flag::kIncomplete, "incomplete"}, {traffic_flag::kMalformed, "malformed"},
      {traffic_flag::kIgnored, "ignored"},       {traffic_flag::kWakeAsserted, "wake"},
  };
  std::string text;
  for (const auto &entry : kNames) {
    if ((flags & entry.flag) == 0) continue;
    text += text.empty() ? "" : ",";
    text += entry.name;
  }
  return text;
}

}  // namespace

bool TrafficRecord::isFrame() const {
  using namespace traffic_flag;
  return type == RecordType::FromHost && !has(kGarbled | kIncomplete | kMalformed);
}

bool TrafficRecord::isSentAnswer() const { return type == RecordType::ToHost && !has(traffic_flag::kNotSent); }

std::string describe(const TrafficRecord &record) {
  char head[96];
  std::snprintf(head, sizeof head, "%10.6f %-13s host %6d dev %6d", static_cast<double>(record.timeNs) / 1e9,
                typeName(record.type), record.hostSpeed, record.deviceSpeed);
  std::string line = head;
  if (record.flags != 0) line += " [" + flagNames(record.flags) + "]";
  if (!record.bytes.empty()) {
    line += " | " + hexDump(record.bytes) + " | ";
    for (std::uint8_t b : record.bytes) line.push_back(b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.');
  }
  return line;
}

}  // namespace readersim
