// Driver outputs, the trace and the host's output listener.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/device_outputs.h"
#include "platform/engine_line_status.h"
#include "platform/trace.h"

namespace {

// A copy of one ReaderOutput (its pointers are valid for the call only).
struct Seen {
  int kind;
  long value;
  long value2;
  bool hasText;
  std::string text;
  std::vector<std::uint8_t> data;
  int dataLength;
};

struct Recorder {
  std::mutex mutex;
  std::vector<Seen> seen;

  static void listener(const ReaderOutput *output, void *context) {
    auto *self = static_cast<Recorder *>(context);
    Seen copy{output->kind, output->value, output->value2, output->text != nullptr,
              output->text != nullptr ? output->text : "", {}, output->dataLength};
    if (output->data != nullptr && output->dataLength > 0) {
      std::size_t bytes = static_cast<std::size_t>(output->dataLength) *
                          (output->kind == READER_OUTPUT_KEY_CHARS ? 4 : 1);
      const auto *data = static_cast<const std::uint8_t *>(output->data);
      copy.data.assign(data, data + bytes);
    }
    std::lock_guard lock(self->mutex);
    self->seen.push_back(std::move(copy));
  }

  std::vector<Seen> all() {
    std::lock_guard lock(mutex);
    return seen;
  }
};

class HostOutputs : public ::testing::Test {
 protected:
  void SetUp() override { ReaderHostSetOutputListener(Recorder::listener, &recorder_); }
  void TearDown() override { ReaderHostSetOutputListener(nullptr, nullptr); }
  Recorder recorder_;
};

TEST_F(HostOutputs, VibratorOnAndOff) {
  EXPECT_TRUE(reader::platform::switchVibrator(true));
  EXPECT_TRUE(reader::platform::switchVibrator(false));
  auto seen = recorder_.all();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, READER_OUTPUT_VIBRATOR);
  EXPECT_EQ(seen[0].value, 1);
  EXPECT_EQ(seen[1].kind, READER_OUTPUT_VIBRATOR);
  EXPECT_EQ(seen[1].value, 0);
}

TEST_F(HostOutputs, AudioCommandCarriesTheRecordAndItsCommandCode) {
  for (std::uint32_t command : {0x1122u, 0x7777u, 0x8888u}) {
    std::uint8_t record[20] = {};
    record[4] = static_cast<std::uint8_t>(command);
    record[5] = static_cast<std::uint8_t>(command >> 8);
    record[8] = 1;
    record[19] = 0xEE;
    EXPECT_TRUE(reader::platform::sendAudioCommand(record));
    auto seen = recorder_.all();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().kind, READER_OUTPUT_AUDIO);
    EXPECT_EQ(seen.back().value, static_cast<long>(command));
    EXPECT_EQ(seen.back().dataLength, 20);
    EXPECT_EQ(seen.back().data, std::vector<std::uint8_t>(record, record + 20));
  }
}

TEST_F(HostOutputs, SoundPathArrivesAsUtf8AndNullStops) {
  reader::platform::playSound(u"\\Windows\\Beep.wav", 0x20001);
  reader::platform::playSound(u"\\Windows\\caf\u00e9 \u20ac \U0001F600.wav", 1);
  const char16_t unpaired[] = {u'a', 0xD800, u'b', 0};
  reader::platform::playSound(unpaired, 0);
  reader::platform::playSound(nullptr, 0);
  auto seen = recorder_.all();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].kind, READER_OUTPUT_SOUND);
  EXPECT_TRUE(seen[0].hasText);
  EXPECT_EQ(seen[0].text, "\\Windows\\Beep.wav");
  EXPECT_EQ(seen[0].value, 0x20001);
  EXPECT_EQ(seen[1].text, "\\Windows\\caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.wav");
  EXPECT_EQ(seen[2].text, "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(seen[3].kind, READER_OUTPUT_SOUND);
  EXPECT_FALSE(seen[3].hasText);
}

TEST_F(HostOutputs, KeyboardCharactersAndKeyEvents) {
  const std::int32_t characters[] = {'1', '2', 0x20AC, '\r'};
  reader::platform::postKeyboardCharacters(characters, 4);
  reader::platform::sendKeyEvent(0x0D, false);
  reader::platform::sendKeyEvent(0x0D, true);
  auto seen = recorder_.all();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].kind, READER_OUTPUT_KEY_CHARS);
  EXPECT_EQ(seen[0].dataLength, 4);
  ASSERT_EQ(seen[0].data.size(), sizeof characters);
  EXPECT_EQ(std::memcmp(seen[0].data.data(), characters, sizeof characters), 0);
  EXPECT_EQ(seen[1].kind, READER_OUTPUT_KEY_EVENT);
  EXPECT_EQ(seen[1].value, 0x0D);
  EXPECT_EQ(seen[1].value2, 0);
  EXPECT_EQ(seen[2].value2, 1);
}

TEST_F(HostOutputs, TraceLinesGoToTheListener) {
  reader::platform::traceLine("COM1 > 04 E4 04 00 FF 14");
  auto seen = recorder_.all();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, READER_OUTPUT_TRACE);
  EXPECT_EQ(seen[0].text, "COM1 > 04 E4 04 00 FF 14");
}

TEST(HostOutputsWithoutListener, TraceLinesGoToStandardError) {
  ReaderHostSetOutputListener(nullptr, nullptr);
  ::testing::internal::CaptureStderr();
  reader::platform::traceLine("COM2 < 5B 30 5D");
  std::string captured = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(captured, "COM2 < 5B 30 5D\n");
  // Other outputs are simply dropped, and still succeed.
  EXPECT_TRUE(reader::platform::switchVibrator(true));
  std::uint8_t record[20] = {};
  EXPECT_TRUE(reader::platform::sendAudioCommand(record));
}

TEST(HostOutputsWithoutListener, EngineLineStatusIsNeverAvailable) {
  std::uint32_t status = 7;
  EXPECT_FALSE(reader::platform::queryEngineLineStatus(status));
}

// traceEnabled() reads READER_TRACE once per process: each case runs in a
// fresh child process that sets the variable first.
int traceEnabledWith(const char *value) {
  if (value != nullptr) {
    setenv("READER_TRACE", value, 1);
  } else {
    unsetenv("READER_TRACE");
  }
  bool first = reader::platform::traceEnabled();
  setenv("READER_TRACE", first ? "0" : "1", 1);  // read once: no effect now
  return first == reader::platform::traceEnabled() ? (first ? 1 : 0) : 2;
}

TEST(Trace, EnabledByANonEmptyValueOtherThanZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(traceEnabledWith("1")), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(std::exit(traceEnabledWith("yes")), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(std::exit(traceEnabledWith("0")), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(traceEnabledWith("")), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(traceEnabledWith(nullptr)), ::testing::ExitedWithCode(0), "");
}

// A listener replaced while another thread emits: every call gets the
// context stored with its own listener, and once the set call has returned
// the replaced listener is not running any more.
struct Counting {
  std::atomic<int> calls{0};
  std::atomic<bool> retired{false};
  std::atomic<int> callsAfterRetired{0};
};

void countingListener(const ReaderOutput *, void *context) {
  auto *counting = static_cast<Counting *>(context);
  if (counting->retired) ++counting->callsAfterRetired;
  ++counting->calls;
  std::this_thread::yield();
}

TEST(HostListeners, ReplacingAListenerWhileAnotherThreadEmits) {
  std::vector<std::unique_ptr<Counting>> contexts;
  for (int i = 0; i < 50; ++i) contexts.push_back(std::make_unique<Counting>());
  std::atomic<bool> stop{false};
  std::thread emitter([&] {
    while (!stop) reader::platform::switchVibrator(true);
  });
  for (auto &context : contexts) {
    ReaderHostSetOutputListener(countingListener, context.get());
    while (context->calls == 0) std::this_thread::yield();
    ReaderHostSetOutputListener(nullptr, nullptr);
    context->retired = true;  // the old listener must be done by now
  }
  stop = true;
  emitter.join();
  for (auto &context : contexts) EXPECT_EQ(context->callsAfterRetired, 0);
}

void reentrantListener(const ReaderOutput *, void *context) {
  // Replacing the listener from inside a call does not wait for itself.
  ReaderHostSetOutputListener(nullptr, nullptr);
  ++*static_cast<int *>(context);
}

TEST(HostListeners, AListenerMayRemoveItself) {
  int calls = 0;
  ReaderHostSetOutputListener(reentrantListener, &calls);
  reader::platform::switchVibrator(true);
  reader::platform::switchVibrator(true);
  EXPECT_EQ(calls, 1);
}

}  // namespace
