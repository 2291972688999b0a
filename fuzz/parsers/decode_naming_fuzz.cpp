// Naming and cleaning a decode for every device kind: the type marker
// becomes a code and a name, and the data loses prefixes, check digits and
// identifiers as the engine's block and the device options say. Input:
// kind and options (1 byte), the hex-frame module's protocol (1 byte), the
// configuration block (sized field), then the decode's data as the device
// sent it.
//
// Beyond surviving any data: every decode gets a name, cleaning only ever
// removes (what is left is the sent data with pieces taken out, in order),
// and a code is either the device's own marker or 0 with an unknown name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/decode_naming.h"
#include "core/device_kind.h"
#include "rfid/tag_naming.h"
#include "support/input_fields.h"
#include "support/invariant_check.h"
#include "support/scripted_channel.h"

namespace {

using reader::ByteString;
namespace DeviceKind = reader::DeviceKind;

constexpr int kKinds[] = {DeviceKind::TextEngine, DeviceKind::SsiEngine3, DeviceKind::SsiEngine4,
                          DeviceKind::AsciiModule, DeviceKind::HexModule};

// `part` is `whole` with elements taken out, the rest in order.
bool isThinnedFrom(const ByteString &part, const ByteString &whole) {
  std::uint32_t j = 0;
  for (std::uint32_t i = 0; i < whole.length() && j < part.length(); ++i)
    if (whole.at(i) == part.at(j)) ++j;
  return j == part.length();
}

bool sameText(const ByteString &a, const ByteString &b) { return a.length() == b.length() && isThinnedFrom(a, b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::InputFields input(data, size);
  const std::uint8_t options = input.byte();
  const int kind = kKinds[(options & 0x07) % std::size(kKinds)];
  const int selector = input.byte() % 20;
  const ByteString block = input.sized();
  const ByteString sent = input.bytes(input.remaining());

  reader::ReaderDevice &device = readerfuzz::fuzzDevice();
  reader::DeviceChannel &channel = kind >= DeviceKind::AsciiModule ? device.rfid : device.barcode;
  readerfuzz::attachScript(channel, kind, nullptr, 0);
  channel.upcAAsEan13 = (options >> 3) & 1;
  channel.sendEan13CheckDigit = (options >> 4) & 1;
  channel.sendUpcACheckDigit = (options >> 5) & 1;
  channel.configBlock = block;
  channel.protocolSelector = selector;

  reader::ScanResult result;
  result.data = sent;
  result.code = 77;
  result.name.assign("stale");
  if (kind >= DeviceKind::AsciiModule)
    reader::nameTag(channel, result);
  else
    reader::nameResult(channel, result);

  READER_FUZZ_CHECK(!result.name.equals("stale"));
  // An ISO 15693 line too short for its manufacturer code stays unnamed and
  // whole; everything else gets a name.
  const bool shortIso15693 = kind == DeviceKind::AsciiModule && sent.length() < 5 && sent.byteAt(0) == 'V';
  if (shortIso15693)
    READER_FUZZ_CHECK(result.code == 0 && result.name.empty() && sameText(result.data, sent));
  else
    READER_FUZZ_CHECK(!result.name.empty());
  READER_FUZZ_CHECK(result.data.length() <= sent.length() && isThinnedFrom(result.data, sent));
  const int marker = sent.empty() ? 0 : sent.byteAt(0);
  switch (kind) {
    case DeviceKind::TextEngine:
      READER_FUZZ_CHECK(result.code == 0 || result.code == marker);
      if (result.code == 0) READER_FUZZ_CHECK(result.name.equals("unknown"));
      break;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
      // The type byte goes, nothing else.
      READER_FUZZ_CHECK(result.code == 0 || result.code == marker);
      if (result.code == 0) READER_FUZZ_CHECK(result.name.equals("unkonwn"));
      READER_FUZZ_CHECK(result.data.length() == (sent.empty() ? 0 : sent.length() - 1));
      break;
    case DeviceKind::AsciiModule: READER_FUZZ_CHECK(result.code >= 0 && result.code <= 16); break;
    case DeviceKind::HexModule: READER_FUZZ_CHECK(result.code == selector && sameText(result.data, sent)); break;
    default: break;
  }
  readerfuzz::detachScript(channel);
  return 0;
}
