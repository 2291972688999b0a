// Tag cycle cost: per RFID module kind and tag family, the wall time of a
// 16-byte read, a 128-byte read and a 16-byte write (each its own detection
// cycle, as applications call them) beside the time the wire and the
// protocol's fixed waits impose on it.
//
// The simulated modules answer at the real byte time of their line speed;
// the library runs in this process.
#include <3100XE_DLL.h>
#include <readersim/readersim.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double byteMs(std::size_t bytes, int speed) { return speed > 0 ? bytes * 10.0 * 1000.0 / speed : 0.0; }

// What the protocol makes the host wait for in the records from `from` on:
// the module's answers at its line speed; the ASCII module's 100 ms pause
// after the open of each cycle, and the 5 ms of silence by which it ends a
// command of open length (block writes, logins); the hex-frame module's
// 40 ms of silence that ends each answer, and 100 ms after each detection
// that found nothing.
double imposedMs(const readersim::PtyDevice &module, std::size_t from) {
  const auto records = module.log().snapshot();
  double ms = module.kind() == 5 ? 100 : 0;
  for (std::size_t i = from; i < records.size(); ++i) {
    const readersim::TrafficRecord &r = records[i];
    if (module.kind() == 5 && r.type == readersim::RecordType::FromHost && r.isFrame() && !r.bytes.empty() &&
        (r.bytes[0] == 'l' || (r.bytes[0] == 'w' && r.bytes.size() > 1 && r.bytes[1] != 'p')))
      ms += static_cast<double>(readersim::AsciiModule::kCommandSilence.count());
    if (!r.isSentAnswer()) continue;
    ms += byteMs(r.bytes.size(), r.deviceSpeed);
    if (module.kind() == 6) {
      ms += 40;
      if (r.text().find("[]") != std::string::npos) ms += 100;
    }
  }
  return ms;
}

struct Timing {
  double wallMs = 0;
  double imposedMs = 0;
};

template <class Op>
Timing timed(const readersim::PtyDevice &module, int rounds, Op op) {
  Timing total;
  for (int i = 0; i < rounds; ++i) {
    const std::size_t from = module.log().snapshot().size();
    const auto start = Clock::now();
    op();
    total.wallMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    total.imposedMs += imposedMs(module, from);
  }
  total.wallMs /= rounds;
  total.imposedMs /= rounds;
  return total;
}

void print(const char *row, const char *op, const Timing &t) {
  std::printf("%-30s %-12s %9.1f %11.1f %7.3f\n", row, op, t.wallMs, t.imposedMs,
              t.imposedMs > 0 ? t.wallMs / t.imposedMs : 0.0);
}

void measure(const char *row, int kind, const std::string &tagText, const char *key, int rounds) {
  readersim::TerminalConfig config;
  config.engineKind = 0;
  config.moduleKind = kind;
  config.asciiModule.startSpeed = 57600;
  config.pacing = true;
  readersim::SimTag tag = readersim::tagOf(tagText);
  std::vector<std::uint8_t> data(tag.dataCapacity());
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  tag.fillData(data);
  config.tags.push_back(tag);
  readersim::Terminal terminal(config);
  terminal.applyEnvironment();
  if (InitReader() != READER_OK) {
    std::printf("%-30s start failed\n", row);
    return;
  }
  char buffer[200];
  // The first cycle finds the tag's protocol; later ones start with it.
  ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, -1, 1, 0, key);
  const readersim::PtyDevice &module = *terminal.module();
  const Timing r16 =
      timed(module, rounds, [&] { ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 16, 0, key); });
  const Timing r128 =
      timed(module, rounds, [&] { ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 128, 0, key); });
  const unsigned char payload[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  int written = 0;
  const Timing w16 = timed(module, rounds, [&] { WriteRfidData(payload, -1, 16, &written, 0, 0, key); });
  HaltReader(READER_DEVICE_ALL);
  print(row, "read 16", r16);
  print(row, "read 128", r128);
  print(row, "write 16", w16);
  const Timing all{r16.wallMs + r128.wallMs + w16.wallMs, r16.imposedMs + r128.imposedMs + w16.imposedMs};
  print(row, "cycle", all);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  std::printf("%-30s %-12s %9s %11s %7s\n", "module, tag", "operation", "wall ms", "imposed ms", "ratio");
  measure("module 5, icode", 5, "icode:E00401A2B3C4D5E6", nullptr, rounds);
  measure("module 5, mifare", 5, "mifare:04A1B2C3::KEY", "KEY", rounds);
  measure("module 5, iso15693 (philips)", 5, "philips:E004010203040506", nullptr, rounds);
  measure("module 5, srix4k", 5, "srix4k:D00201A2B3C4D5E6", nullptr, rounds);
  measure("module 6, iso15693 (philips)", 6, "philips:E004010203040506", nullptr, rounds);
  measure("module 6, tagit", 6, "tagit:A1B2C3D4", nullptr, rounds);
  std::printf(
      "(each operation is a whole cycle: detection, then the blocks; cycle: the three summed.\n"
      " imposed: the module's answers at its line speed, 100 ms after each ASCII-module open,\n"
      " 40 ms of silence after each hex-frame answer, 100 ms after a detection without a tag)\n");
  return 0;
}
