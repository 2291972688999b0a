// The ASCII module's answer lines and status letters as the library takes
// them: the probe and parameter reads of the start, a tag line with the
// block reads and sector logins behind it, and a block write. Input: options
// (1 byte), read start and length (1 byte each), a key and write data
// (sized fields), write block and offset (1 byte each), then the module's
// bytes in the script form of scripted_serial_port.h, answer by answer
// (FE 00 between them).
//
// Beyond surviving any line: a status letter is reported as its error, a
// tag is reported with a hexadecimal UID and no more data than asked for,
// and a write reports only bytes it sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/engine_detection.h"
#include "rfid/module_status.h"
#include "rfid/tag_block.h"
#include "rfid/tag_detection.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/manual_clock.h"
#include "support/scripted_channel.h"
#include "tag_invariants.h"

namespace {

using reader::ByteString;

void startModule(const reader::PortLock &lock) {
  reader::DeviceChannel &channel = lock.channel();
  if (!reader::negotiateLink(lock)) return;
  READER_FUZZ_CHECK(channel.kind == reader::DeviceKind::AsciiModule);
  READER_FUZZ_CHECK(channel.moduleVariant == 0 || channel.moduleVariant == 1);
  reader::readConfiguration(lock, channel.configBlock);
}

void readAndWriteTag(const reader::PortLock &lock, const readerfuzz::ScriptedSerialPort &port,
                     const reader::TagRequest &request, const ByteString &writeData, int writeBlock, int writeOffset) {
  reader::DeviceChannel &channel = lock.channel();
  reader::ScanResult tag;
  if (!reader::readTag(lock, tag, request)) {
    // A status line is reported as its error (a line cut by silence or a
    // failed port leaves the port's code instead).
    if (tag.data.length() == 1 && channel.lastError >= reader::ChannelError::NoDecode) {
      const std::uint32_t status = reader::moduleStatusError(tag.data);
      READER_FUZZ_CHECK(channel.lastError == (status != 0 ? status : reader::ChannelError::ModuleOther));
    }
    return;
  }
  readerfuzz::checkTag(tag, request.length);

  const std::size_t writesBefore = port.writes().size();
  std::uint32_t placed = 0;
  const bool written = reader::writeTagBlock(lock, tag.code, tag.blockSize, writeBlock, writeOffset, writeData, placed);
  if (!written) {
    READER_FUZZ_CHECK(placed == 0);
    return;
  }
  READER_FUZZ_CHECK(placed >= 1 && placed <= writeData.length());
  // The block went out whole, in the module's write command.
  READER_FUZZ_CHECK(port.writes().size() > writesBefore);
  const auto &command = port.writes().back();
  READER_FUZZ_CHECK(!command.empty() && command[0] == 'w');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  const std::uint8_t options = input.byte();
  const int readStart = static_cast<std::int8_t>(input.byte());
  const int readLength = input.byte();
  const ByteString key = input.sized();
  const ByteString writeData = input.sized();
  const int writeBlock = input.byte();
  const int writeOffset = input.byte() % 20;

  reader::DeviceChannel &channel = readerfuzz::fuzzDevice().rfid;
  auto port = readerfuzz::attachScript(channel, reader::DeviceKind::AsciiModule, input.rest(), input.remaining());
  channel.moduleVariant = options & 1;
  const auto lock = reader::PortLock::take(channel);
  if ((options & 2) != 0)
    startModule(*lock);
  else
    readAndWriteTag(*lock, *port, reader::TagRequest{readStart, readLength, key}, writeData, writeBlock, writeOffset);
  readerfuzz::detachScript(channel);
  return 0;
}
