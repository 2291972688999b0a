// Every function that copies into a caller's buffer, with stored results,
// options and sizes chosen by the input, checked against the copy rules the
// header promises: nothing written past the size, nothing at all for a
// refused buffer, the text (or its cut) and its NUL, and the result code.
// The settings record's option section is written first and must read back
// as the record says; with no engine open that is all a record carries.
//
// Input: barcode result, RFID result, engine kind for the type queries, the
// option bytes 311 to 375, the serial number text, then calls to the end:
// a selector byte (bits 0-2 the function, bit 7 a null buffer, bit 6 a very
// large size, bit 5 an arbitrary mask) and the size. A sound name for
// Beeper, with the same selector, checks the path the host receives.
#include <3100XE_DLL.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/library.h"
#include "core/device_kind.h"
#include "support/byte_fields.h"
#include "support/invariant_check.h"
#include "support/settings_read_back.h"

namespace {

constexpr std::uint8_t kCanary = 0xA5;
// Sizes above this are passed on with a buffer of this many bytes: every
// text these calls copy is far shorter.
constexpr int kLargestBuffer = 4096;
constexpr const char *kVersion = "2.00.0027";

std::string bytesText(const std::vector<std::uint8_t> &bytes) { return {bytes.begin(), bytes.end()}; }

struct Stored {
  int barcodeCode = 0;
  std::string barcodeData;
  int tagType = 0;
  std::string uid;
  std::string tagData;
  int barcodeKind = 0;
  readerfuzz::SettingsRecord record{};
  std::string serialNumber;
};

// The tag type codes by TagType.
int tagTypeCode(int tagType) {
  if (tagType == 1) return 'I';
  if (tagType >= 2 && tagType <= 4) return 'M';
  if (tagType == 5 || tagType == 7) return 'Z';
  if (tagType == 6) return 'S';
  if (tagType == 8) return 'T';
  if (tagType >= 9 && tagType <= 16) return 'V';
  return 0;
}

std::string lengthField(std::size_t n) {
  char field[24];
  std::snprintf(field, sizeof field, "%04zu", n);
  return field;
}

// The output record as the options written say it is built.
std::string expectedRecord(const Stored &s, int mask, int typeCode) {
  const auto &r = s.record;
  const std::string prefix = readerfuzz::outputPrefix(r), suffix = readerfuzz::outputSuffix(r);
  const bool withType = r[371] != 0, withLength = r[372] != 0;
  std::string record;
  if (mask == READER_DEVICE_BARCODE) {
    if (withType) record.push_back(static_cast<char>(typeCode));
    if (withLength) record += lengthField(prefix.size() + s.barcodeData.size() + suffix.size());
    return record + prefix + s.barcodeData + suffix;
  }
  if (mask != READER_DEVICE_RFID) return record;
  const bool uid = r[311] != 0, data = r[312] != 0;
  const int separator = r[314];
  if (withType) record.push_back(static_cast<char>(typeCode));
  if (withLength) record += lengthField(prefix.size() + s.uid.size() + suffix.size());
  if (uid) record += prefix + s.uid + suffix;
  if (uid && data && separator != 0) record.push_back(static_cast<char>(separator));
  if (data) record += s.tagData;
  return record;
}

// The environment entry stays this one buffer, rewritten in place: setenv
// would keep every earlier value alive for the whole run.
void setSerialNumber(const std::string &text) {
  static char entry[160] = "READER_SERIAL_NUMBER=";
  static const std::size_t nameLength = std::strlen(entry);
  std::snprintf(entry + nameLength, sizeof entry - nameLength, "%s", text.c_str());
  static const bool installed = putenv(entry) == 0;
  READER_FUZZ_CHECK(installed);
}

void store(const Stored &s) {
  reader::Library &lib = reader::library();
  reader::ScanResult barcode;
  barcode.code = s.barcodeCode;
  barcode.data = reader::ByteString::fromText(s.barcodeData);
  lib.device.barcode.result.set(barcode);
  reader::ScanResult rfid;
  rfid.code = s.tagType;
  rfid.data = reader::ByteString::fromText(s.uid);
  rfid.tagData = reader::ByteString::fromText(s.tagData);
  lib.device.rfid.result.set(rfid);
  setSerialNumber(s.serialNumber);
}

// One call into a buffer of `size` bytes (null when `null`), canaries all
// round; checks the copy rule that applies to `text`.
enum class Rule { Copy, Version, SerialNumber };

void checkCopy(const std::string &text, Rule rule, int size, bool null, int (*call)(char *, int, void *),
               void *context) {
  const int allocated = std::clamp(size, 0, kLargestBuffer);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(allocated) + 1, kCanary);
  char *target = null ? nullptr : reinterpret_cast<char *>(buffer.data());
  const int result = call(target, size, context);
  const auto untouchedFrom = [&](std::size_t from) {
    for (std::size_t i = from; i < buffer.size(); ++i)
      if (buffer[i] != kCanary) return false;
    return true;
  };
  if (null || size < 1) {
    READER_FUZZ_CHECK(result == (rule == Rule::Version ? 0 : READER_ERR_BAD_BUFFER));
    READER_FUZZ_CHECK(untouchedFrom(0));
    return;
  }
  const auto n = static_cast<long long>(text.size());
  // The serial number keeps its whole text one size earlier.
  const bool whole = rule == Rule::SerialNumber ? size > n : size >= n + 1;
  const std::size_t copied = whole ? text.size() : static_cast<std::size_t>(size - 1);
  READER_FUZZ_CHECK(std::memcmp(buffer.data(), text.data(), copied) == 0);
  READER_FUZZ_CHECK(buffer[copied] == 0);
  READER_FUZZ_CHECK(untouchedFrom(copied + 1));
  if (rule == Rule::Version) {
    READER_FUZZ_CHECK(result == READER_OK);
  } else if (rule == Rule::SerialNumber) {
    READER_FUZZ_CHECK(result == (size > n + 1 ? n : size));
  } else {
    READER_FUZZ_CHECK(result == (whole ? n : size));
  }
}

// The sound file named by the caller reaches the host as the UTF-8 form of
// its bytes taken as Latin-1, up to its terminator.
std::string lastSoundPath;
bool soundPlayed = false;

void listen(const ReaderOutput *output, void *) {
  if (output->kind != READER_OUTPUT_SOUND || output->text == nullptr) return;
  lastSoundPath = output->text;
  soundPlayed = true;
}

std::string latin1AsUtf8(const std::string &text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

void checkSoundName(const std::string &name, bool null) {
  static const bool listening = (ReaderHostSetOutputListener(listen, nullptr), true);
  READER_FUZZ_CHECK(listening);
  soundPlayed = false;
  if (null) {
    READER_FUZZ_CHECK(Beeper(-1, nullptr) == READER_ERR_NO_SOUND);
    READER_FUZZ_CHECK(!soundPlayed);
    return;
  }
  READER_FUZZ_CHECK(Beeper(-1, name.c_str()) == READER_OK);
  READER_FUZZ_CHECK(soundPlayed && lastSoundPath == latin1AsUtf8(name.substr(0, name.find('\0'))));
}

struct MaskContext {
  int mask;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::ByteFields in(data, size);
  Stored s;
  s.barcodeCode = static_cast<std::int16_t>(in.u16());
  s.barcodeData = in.countedText(255);
  s.tagType = in.byte() % 20;
  s.uid = in.countedText(40);
  s.tagData = bytesText(in.counted(255));
  constexpr int kKinds[] = {reader::DeviceKind::None, reader::DeviceKind::TextEngine, reader::DeviceKind::SsiEngine3,
                            reader::DeviceKind::SsiEngine4};
  s.barcodeKind = kKinds[in.byte() % std::size(kKinds)];
  // Bytes outside the option section carry junk: with no engine they must
  // be ignored.
  s.record.fill(in.byte());
  for (int offset = readerfuzz::kOptionsFirst; offset <= readerfuzz::kOptionsLast; ++offset)
    s.record[offset] = in.byte();
  s.serialNumber = in.countedText(120);
  s.serialNumber = s.serialNumber.substr(0, std::min(s.serialNumber.find('\0'), std::size_t{99}));

  store(s);
  READER_FUZZ_CHECK(SetReaderSettings(nullptr) == READER_ERR_SETTINGS);
  READER_FUZZ_CHECK(GetReaderSettings(nullptr) == READER_ERR_SETTINGS);
  READER_FUZZ_CHECK(SetReaderSettings(s.record.data()) == READER_OK);
  readerfuzz::SettingsRecord readBack;
  readBack.fill(kCanary);
  READER_FUZZ_CHECK(GetReaderSettings(readBack.data()) == READER_OK);
  // No engine is open: the device bit and the options, nothing else.
  readerfuzz::SettingsRecord expected = readerfuzz::optionsReadBack(s.record);
  expected[0] = 32;
  READER_FUZZ_CHECK(readBack == expected);

  // The type queries read the engine kind; nothing else here does.
  reader::library().device.barcode.kind = s.barcodeKind;
  const int decodeType = GetDecodeType();
  if (s.barcodeKind == reader::DeviceKind::None || s.barcodeKind == reader::DeviceKind::TextEngine)
    READER_FUZZ_CHECK(decodeType == s.barcodeCode);
  READER_FUZZ_CHECK(GetDecodeTagType() == tagTypeCode(s.tagType));

  while (!in.atEnd()) {
    const std::uint8_t selector = in.byte();
    const bool null = (selector & 0x80) != 0;
    int callSize = static_cast<std::int16_t>(in.u16());
    if ((selector & 0x40) != 0) callSize = static_cast<int>(in.u32() | 0x40000000u);  // very large
    switch (selector & 0x07) {
      case 0:
        checkCopy(
            s.barcodeData, Rule::Copy, callSize, null, [](char *b, int n, void *) { return GetDecodeData(b, n); },
            nullptr);
        break;
      case 1:
        checkCopy(
            s.uid, Rule::Copy, callSize, null, [](char *b, int n, void *) { return GetDecodeRfidUID(b, n); }, nullptr);
        break;
      case 2:
        checkCopy(
            s.tagData, Rule::Copy, callSize, null, [](char *b, int n, void *) { return GetDecodeRfidData(b, n); },
            nullptr);
        break;
      case 3:
        checkCopy(
            kVersion, Rule::Version, callSize, null, [](char *b, int n, void *) { return GetDllVer(b, n); }, nullptr);
        break;
      case 4:
        checkCopy(
            s.serialNumber, Rule::SerialNumber, callSize, null,
            [](char *b, int n, void *) { return GetSerialNumber(b, n); }, nullptr);
        break;
      case 7: checkSoundName(in.countedText(255), null); break;
      default: {
        MaskContext context{(selector & 0x07) == 5 ? READER_DEVICE_BARCODE : READER_DEVICE_RFID};
        if ((selector & 0x20) != 0) context.mask = static_cast<int>(in.u32());
        const int typeCode = context.mask == READER_DEVICE_RFID ? GetDecodeTagType() : decodeType;
        checkCopy(
            expectedRecord(s, context.mask, typeCode), Rule::Copy, callSize, null,
            [](char *b, int n, void *c) { return GetOutputRecord(static_cast<MaskContext *>(c)->mask, b, n); },
            &context);
        break;
      }
    }
  }
  reader::library().device.barcode.kind = reader::DeviceKind::None;
  return 0;
}
