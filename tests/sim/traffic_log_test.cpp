#include "readersim/traffic_log.h"

#include <gtest/gtest.h>

#include <thread>

namespace readersim {
namespace {

TrafficRecord frame(std::string_view text, unsigned flags = 0) {
  TrafficRecord record;
  record.type = RecordType::FromHost;
  record.bytes.assign(text.begin(), text.end());
  record.flags = flags;
  return record;
}

TEST(TrafficLog, WaitForWakesOnAppendFromAnotherThread) {
  TrafficLog log;
  std::thread writer([&] {
    log.append(frame("a"));
    log.append(frame("b", traffic_flag::kGarbled));
    log.append(frame("c"));
  });
  EXPECT_TRUE(log.waitForCount([](const TrafficRecord &r) { return r.isFrame(); }, 2, std::chrono::seconds(5)));
  writer.join();
  auto records = log.snapshot();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text(), "a");
  EXPECT_FALSE(records[1].isFrame());
}

TEST(TrafficLog, WaitTimesOutAndClearEmpties) {
  TrafficLog log;
  log.append(frame("a"));
  EXPECT_FALSE(log.waitFor([](const auto &records) { return records.size() > 1; }, std::chrono::milliseconds(1)));
  log.clear();
  EXPECT_EQ(log.size(), 0u);
}

TEST(TrafficLog, ListenerSeesEveryRecordInOrder) {
  TrafficLog log;
  std::vector<std::string> seen;
  log.setListener([&](const TrafficRecord &r) { seen.push_back(r.text()); });
  log.append(frame("one"));
  log.append(frame("two"));
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
  EXPECT_NE(describe(log.snapshot()[0]).find("6F 6E 65 | one"), std::string::npos);
}

}  // namespace
}  // namespace readersim
