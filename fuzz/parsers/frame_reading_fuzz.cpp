// Frames of every device kind read from a byte stream through the channel's
// own reading code (readFrame over a scripted port, time-outs on the manual
// clock). Input: kind and options (1 byte), first-byte wait (1 byte), then
// the device's bytes in the script form of scripted_serial_port.h.
//
// Beyond surviving any stream: a frame never holds more than arrived, stays
// within the frame bound, and has the shape its kind promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/manual_clock.h"
#include "support/scripted_channel.h"

namespace {

using reader::ByteString;
namespace DeviceKind = reader::DeviceKind;

constexpr int kKinds[] = {DeviceKind::TextEngine, DeviceKind::SsiEngine3, DeviceKind::SsiEngine4,
                          DeviceKind::AsciiModule, DeviceKind::HexModule};
constexpr int kFirstByteWaits[] = {0, 1, 20, 40, 1000, 3000};
// Frames read from one stream: enough to see a frame's leftovers taken for
// the start of the next.
constexpr int kFramesPerInput = 6;

bool contains(const ByteString &frame, std::uint8_t value) {
  for (std::uint32_t i = 0; i < frame.length(); ++i)
    if (frame.byteAt(i) == value) return true;
  return false;
}

void checkFrame(int kind, bool decode, bool ok, const ByteString &frame, std::size_t arrived) {
  READER_FUZZ_CHECK(frame.length() <= arrived);
  READER_FUZZ_CHECK(frame.length() <= reader::kMaxFrameBytes);
  for (std::uint32_t i = 0; i < frame.length(); ++i) READER_FUZZ_CHECK(frame.at(i) >= 0 && frame.at(i) <= 0xFF);
  if (!ok) return;
  switch (kind) {
    case DeviceKind::TextEngine: READER_FUZZ_CHECK(!contains(frame, 0x0D)); break;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
      // An answer is as long as its length byte says (the byte itself
      // counted); a decode holds at least its type.
      if (!decode)
        READER_FUZZ_CHECK(frame.length() == (frame.byteAt(0) > 1 ? frame.byteAt(0) : 1u));
      else
        READER_FUZZ_CHECK(!frame.empty());
      break;
    case DeviceKind::AsciiModule: READER_FUZZ_CHECK(!contains(frame, 0x0A) && !contains(frame, 0x00)); break;
    case DeviceKind::HexModule: READER_FUZZ_CHECK(!frame.empty() && frame.length() == arrived); break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  const std::uint8_t options = input.byte();
  const int kind = kKinds[(options & 0x0F) % 5];
  const bool decode = (options & 0x10) != 0;
  const bool cancellable = (options & 0x20) != 0;
  const int firstByteWait = kFirstByteWaits[input.choice(std::size(kFirstByteWaits))];

  reader::DeviceChannel &channel =
      kind >= DeviceKind::AsciiModule ? readerfuzz::fuzzDevice().rfid : readerfuzz::fuzzDevice().barcode;
  auto port = readerfuzz::attachScript(channel, kind, input.rest(), input.remaining());
  std::atomic<int> never{0};
  const reader::WaitCancel cancel{&never, nullptr};
  const auto lock = reader::PortLock::take(channel);

  for (int i = 0; i < kFramesPerInput; ++i) {
    const std::size_t before = port->bytesDelivered();
    const std::uint32_t framesBefore = channel.framesRead;
    ByteString frame;
    const bool ok = reader::readFrame(*lock, frame, firstByteWait, decode, cancellable ? &cancel : nullptr);
    checkFrame(kind, decode, ok, frame, port->bytesDelivered() - before);
    // A frame, even a cut one, is counted; nothing is counted for silence.
    READER_FUZZ_CHECK(channel.framesRead == framesBefore + ((ok || !frame.empty()) ? 1u : 0u));
    if (!ok && port->bytesDelivered() == before) break;
  }
  readerfuzz::detachScript(channel);
  return 0;
}
