#include "support/test_terminal.h"

#include <dirent.h>
#include <stdlib.h>

#include <thread>

namespace testing_support {

std::unique_ptr<readersim::Terminal> startTerminal(const readersim::TerminalConfig &config) {
  auto terminal = std::make_unique<readersim::Terminal>(config);
  terminal->applyEnvironment();
  return terminal;
}

readersim::TerminalConfig quickConfig(int engineKind, int moduleKind) {
  readersim::TerminalConfig config;
  config.engineKind = engineKind;
  config.moduleKind = moduleKind;
  config.ssiEngine.startSpeed = engineKind == 4 ? 38400 : 115200;
  config.asciiModule.startSpeed = 57600;
  return config;
}

void clearReaderEnvironment() {
  for (const char *name : {"READER_COM1", "READER_COM2", "READER_HW_INFO", "READER_MODEL", "READER_SERIAL_NUMBER"})
    unsetenv(name);
}

int threadCount() {
  DIR *dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent *entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count;
}

int threadCountAtMost(int expected, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  int count = threadCount();
  while (count > expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    count = threadCount();
  }
  return count;
}

std::vector<ReceivedFrame> receivedFrames(const readersim::PtyDevice &device) {
  std::vector<ReceivedFrame> frames;
  for (const readersim::TrafficRecord &record : device.log().snapshot()) {
    if (record.type != readersim::RecordType::FromHost) continue;
    const bool garbled = record.has(readersim::traffic_flag::kGarbled);
    if (!garbled && !record.isFrame()) continue;
    frames.push_back({record.bytes, record.hostSpeed, garbled});
  }
  return frames;
}

std::string textEngineCommand(const ReceivedFrame &frame) { return readersim::TextEngine::commandText(frame.bytes); }

std::uint8_t ssiOpcode(const ReceivedFrame &frame) {
  if (frame.garbled || frame.bytes.size() < 4) return 0;
  return frame.bytes[1];
}

}  // namespace testing_support
