// An SSI engine's decode as the scan cycle takes it: readDecode reads the
// packet (plain or multi-packet) and names it; acknowledgeDecode follows. Input: kind
// and wait (1 byte), a packet to checksum (sized field), then the engine's
// bytes in the script form of scripted_serial_port.h (they begin with the
// two checksum bytes of the start-decode answer, as on the line).
//
// Beyond surviving any packet: a decode is acknowledged with a packet whose
// checksum is right, the multi-packet form drops its separators, and the
// data holds no more than the packet carried.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/decode_reading.h"
#include "core/device_kind.h"
#include "core/ssi_checksum.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/manual_clock.h"
#include "support/scripted_channel.h"

namespace {

using reader::ByteString;

std::uint32_t byteSum(const std::vector<std::uint8_t> &bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count && i < bytes.size(); ++i) sum += bytes[i];
  return sum;
}

// A packet and its checksum add up to a multiple of 0x10000.
void checkChecksum(const ByteString &packet) {
  ByteString sealed = packet;
  reader::appendSsiChecksum(sealed);
  READER_FUZZ_CHECK(sealed.length() == packet.length() + 2);
  const std::vector<std::uint8_t> bytes = sealed.toBytes();
  const std::uint32_t data = byteSum(bytes, packet.length()) & 0xFFFF;
  const std::uint32_t checksum = static_cast<std::uint32_t>(bytes[packet.length()]) << 8 | bytes[packet.length() + 1];
  READER_FUZZ_CHECK(((data + checksum) & 0xFFFF) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  const std::uint8_t options = input.byte();
  const int kind = (options & 1) != 0 ? reader::DeviceKind::SsiEngine4 : reader::DeviceKind::SsiEngine3;
  checkChecksum(input.sized());

  reader::DeviceChannel &channel = readerfuzz::fuzzDevice().barcode;
  auto port = readerfuzz::attachScript(channel, kind, input.rest(), input.remaining());
  const int waitMs = (options & 2) != 0 ? 3000 : 100;
  std::atomic<int> never{0};
  const reader::WaitCancel cancel{&never, nullptr};

  reader::ScanResult result;
  const auto lock = reader::PortLock::take(channel);
  const bool ok = reader::readDecode(*lock, result, waitMs, (options & 4) != 0 ? &cancel : nullptr);
  const std::size_t arrived = port->bytesDelivered();
  if (ok) {
    // The read sends nothing; the acknowledgement that follows is one
    // checksummed packet.
    READER_FUZZ_CHECK(port->writes().empty());
    reader::acknowledgeDecode(*lock);
    READER_FUZZ_CHECK(port->writes().size() == 1);
    const std::vector<std::uint8_t> &ack = port->writes().front();
    READER_FUZZ_CHECK(ack.size() == 6 && ack[0] == 0x04 && ack[1] == 0xD0);
    READER_FUZZ_CHECK(((byteSum(ack, 4) + (ack[4] << 8 | ack[5])) & 0xFFFF) == 0);
    READER_FUZZ_CHECK(!result.name.empty());
    // Checksum, length, opcode, source, status and type are not data.
    READER_FUZZ_CHECK(arrived >= 6 && result.data.length() + 6 <= arrived);
  } else {
    READER_FUZZ_CHECK(port->writes().empty());
    READER_FUZZ_CHECK(result.name.empty() && result.code == 0);
  }
  readerfuzz::detachScript(channel);
  return 0;
}
