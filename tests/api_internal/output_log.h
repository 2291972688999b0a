// What the library hands to the host's output listener, one line per
// output, for tests that state the outputs they expect in order:
// "vibrator 1", "audio 1122 param 2 switch 1", "sound stop",
// "sound <path> 22001", "chars 65 66", "key 13 down". The tests produce
// every output on their own thread, where the listener runs.
#pragma once

#include <3100XE_DLL.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class OutputLog {
 public:
  OutputLog() { ReaderHostSetOutputListener(&OutputLog::listen, this); }
  ~OutputLog() { ReaderHostSetOutputListener(nullptr, nullptr); }
  OutputLog(const OutputLog &) = delete;
  OutputLog &operator=(const OutputLog &) = delete;

  void add(const std::string &line) { lines_.push_back(line); }
  const std::vector<std::string> &lines() const { return lines_; }
  std::vector<std::string> take() { return std::exchange(lines_, {}); }
  // The 20-byte audio driver records, in order.
  std::vector<std::vector<std::uint8_t>> audioRecords;

 private:
  static std::uint32_t le32(const std::uint8_t *p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }

  static void listen(const ReaderOutput *output, void *context) {
    auto &log = *static_cast<OutputLog *>(context);
    const auto *bytes = static_cast<const std::uint8_t *>(output->data);
    std::ostringstream line;
    switch (output->kind) {
      case READER_OUTPUT_VIBRATOR: line << "vibrator " << output->value; break;
      case READER_OUTPUT_AUDIO:
        log.audioRecords.emplace_back(bytes, bytes + output->dataLength);
        line << "audio " << std::hex << output->value << std::dec << " param " << le32(bytes + 12) << " switch "
             << le32(bytes + 16);
        break;
      case READER_OUTPUT_SOUND:
        line << "sound " << (output->text ? output->text : "stop");
        if (output->text) line << ' ' << std::hex << output->value;
        break;
      case READER_OUTPUT_KEY_CHARS:
        line << "chars";
        for (int i = 0; i < output->dataLength; ++i) line << ' ' << static_cast<const std::int32_t *>(output->data)[i];
        break;
      case READER_OUTPUT_KEY_EVENT: line << "key " << output->value << (output->value2 ? " up" : " down"); break;
      default: return;  // trace lines
    }
    log.add(line.str());
  }

  std::vector<std::string> lines_;
};

}  // namespace testing_support
