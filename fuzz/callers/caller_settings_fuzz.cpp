// SetReaderSettings with any record, then GetReaderSettings, against a
// simulated engine of the kind this target is built for (READER_FUZZ_ENGINE:
// 2, 3 or 4). Promised of the record read back:
//  - byte 0 names the fitted engine and always has 32;
//  - only the fitted engine's section and the options carry values;
//  - the options read back as written (with their codings);
//  - a record read back is what the engine holds: written again, it reads
//    back unchanged.
// The text engine's self-triggered trigger modes are written as mode 0: the
// continuous scan loop they start would hold the engine for whole scan
// time-outs and make every later input wait behind it.
#include <3100XE_DLL.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "callers/simulated_reader.h"
#include "settings/config_block.h"
#include "support/byte_fields.h"
#include "support/invariant_check.h"
#include "support/settings_read_back.h"

#ifndef READER_FUZZ_ENGINE
#  define READER_FUZZ_ENGINE 2
#endif

namespace {

struct Section {
  int kind;
  int deviceBit;
  int first, last;
};
constexpr Section kSections[] = {{2, 1, 1, 82}, {4, 2, 101, 168}, {3, 4, 191, 290}};
constexpr int kTriggerModeByte = 78;

constexpr const Section &fittedSection() {
  for (const Section &s : kSections)
    if (s.kind == READER_FUZZ_ENGINE) return s;
  return kSections[0];
}

readerfuzz::SettingsRecord readBack() {
  readerfuzz::SettingsRecord record;
  record.fill(0xA5);
  READER_FUZZ_CHECK(GetReaderSettings(record.data()) == READER_OK);
  return record;
}

void checkShape(const readerfuzz::SettingsRecord &written, const readerfuzz::SettingsRecord &read) {
  const Section &section = fittedSection();
  READER_FUZZ_CHECK(read[0] == (section.deviceBit | 32));
  const readerfuzz::SettingsRecord options = readerfuzz::optionsReadBack(written);
  for (int offset = 1; offset < READER_SETTINGS_RECORD_SIZE; ++offset) {
    if (offset >= section.first && offset <= section.last) continue;
    READER_FUZZ_CHECK(read[offset] == options[offset]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  readersim::TerminalConfig config;
  config.engineKind = READER_FUZZ_ENGINE;
  config.moduleKind = 0;
  // Already at the working speed, so that the start is quick.
  config.ssiEngine.startSpeed = READER_FUZZ_ENGINE == 4 ? 38400 : 115200;
  readerfuzz::startSimulatedReader(config);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  readerfuzz::ByteFields in(data, size);
  readerfuzz::forgetSimulatedTraffic();
  readerfuzz::SettingsRecord record{};
  const std::vector<std::uint8_t> bytes = in.bytes(record.size());
  std::copy(bytes.begin(), bytes.end(), record.begin());
  if (READER_FUZZ_ENGINE == 2 && reader::isSelfTriggeredMode(record[kTriggerModeByte] & 0x0F))
    record[kTriggerModeByte] &= 0xF0;

  READER_FUZZ_CHECK(SetReaderSettings(record.data()) == READER_OK);
  const readerfuzz::SettingsRecord first = readBack();
  checkShape(record, first);

  READER_FUZZ_CHECK(SetReaderSettings(first.data()) == READER_OK);
  const readerfuzz::SettingsRecord second = readBack();
  READER_FUZZ_CHECK(second == first);
  return 0;
}
