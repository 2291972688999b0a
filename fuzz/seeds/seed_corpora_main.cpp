// Seed corpora from real traffic: starts simulated terminals of every
// device kind, drives the library through start, settings, scans of several
// symbologies and tag reads and writes, and writes what each device sent to
// the library as inputs of the parser targets, in each target's input form.
//
// usage: reader_fuzz_seeds CORPUS_ROOT   (the checked-in fuzz/corpus)
// Files are named seed_*; earlier seeds are replaced, other inputs kept.
#include <3100XE_DLL.h>
#include <readersim/readersim.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr std::uint8_t kEscape = 0xFE;
constexpr int kTextEngine = 2, kSsiEngine3 = 3, kSsiEngine4 = 4, kAsciiModule = 5, kHexModule = 6;

// ---- Output ---------------------------------------------------------------------

class CorpusWriter {
 public:
  explicit CorpusWriter(fs::path root) : root_(std::move(root)) {}

  void clear(const std::string &target) {
    const fs::path dir = root_ / target;
    fs::create_directories(dir);
    for (const auto &entry : fs::directory_iterator(dir))
      if (entry.path().filename().string().rfind("seed_", 0) == 0) fs::remove(entry.path());
  }
  // An input already written for the target is not written again.
  void write(const std::string &target, const std::string &name, const Bytes &input) {
    if (!seen_[target].insert(input).second) return;
    std::ofstream out(root_ / target / ("seed_" + name), std::ios::binary);
    out.write(reinterpret_cast<const char *>(input.data()), static_cast<std::streamsize>(input.size()));
    ++written_;
  }
  int written() const { return written_; }

 private:
  fs::path root_;
  int written_ = 0;
  std::map<std::string, std::set<Bytes>> seen_;
};

// ---- Script form (scripted_serial_port.h) -------------------------------------

void appendData(Bytes &script, const Bytes &bytes) {
  for (std::uint8_t b : bytes) {
    script.push_back(b);
    if (b == kEscape) script.push_back(kEscape);
  }
}
void appendBoundary(Bytes &script) { script.insert(script.end(), {kEscape, 0x00}); }
void appendGap(Bytes &script) { script.insert(script.end(), {kEscape, 0x05}); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// What one device sent to the library, answer by answer.
std::vector<Bytes> sentAnswers(const readersim::PtyDevice &device) {
  std::vector<Bytes> answers;
  for (const readersim::TrafficRecord &record : device.log().snapshot())
    if (record.type == readersim::RecordType::ToHost && record.isSentAnswer() && !record.bytes.empty())
      answers.push_back(record.bytes);
  return answers;
}

// Every answer behind the boundary of the command it answers.
Bytes conversation(const std::vector<Bytes> &answers, std::size_t from, std::size_t count) {
  Bytes script;
  for (std::size_t i = from; i < answers.size() && i < from + count; ++i) {
    if (i > from) appendBoundary(script);
    appendData(script, answers[i]);
  }
  return script;
}

// ---- Driving the library ---------------------------------------------------------

void dispatchFor(std::chrono::milliseconds span, const std::function<bool()> &done) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (!done() && std::chrono::steady_clock::now() < end) ReaderHostDispatch(20);
}

int decodeCount = 0;
void onBroadcast(const char *message, long wParam, long, void *) {
  if (std::string(message) == "WM_DECODEDATA" && wParam == 7) ++decodeCount;
}

// Presses the trigger until a decode is announced (or a generous while).
void scanOnce() {
  const int before = decodeCount;
  ReaderHostTriggerKey(1, 1);
  dispatchFor(std::chrono::seconds(5), [&] { return decodeCount > before; });
  ReaderHostTriggerKey(1, 0);
  ReaderHostDispatch(0);
}

std::unique_ptr<readersim::Terminal> startTerminal(int engineKind, int moduleKind,
                                                   const std::vector<std::string> &tags) {
  readersim::TerminalConfig config;
  config.engineKind = engineKind;
  config.moduleKind = moduleKind;
  config.ssiEngine.startSpeed = engineKind == kSsiEngine4 ? 38400 : 115200;
  config.asciiModule.startSpeed = 57600;
  for (const std::string &tag : tags) config.tags.push_back(readersim::tagOf(tag));
  auto terminal = std::make_unique<readersim::Terminal>(config);
  terminal->applyEnvironment();
  return terminal;
}

void settingsRoundTrip() {
  std::vector<unsigned char> record(READER_SETTINGS_RECORD_SIZE + 64, 0);
  if (GetReaderSettings(record.data()) == 1) SetReaderSettings(record.data());
}

const char *const kBarcodes[] = {"code39:SEED39",     "code128:Seed-128",         "ean13:4006381333931",
                                 "upca:036000291452", "ean128:]C101234567890128", "i2of5:12345678",
                                 "qr:PAYLOAD",        "code128/3:SEGMENTED-DATA"};

// ---- Engines -----------------------------------------------------------------------

void engineSeeds(int kind, CorpusWriter &out) {
  auto terminal = startTerminal(kind, 0, {});
  if (InitReader() != 1) {
    std::fprintf(stderr, "engine %d did not start\n", kind);
    return;
  }
  SetTriggerKey(1);
  settingsRoundTrip();
  for (const char *text : kBarcodes) {
    const readersim::Barcode barcode = readersim::barcodeOf(text);
    if (terminal->presentBarcode(barcode)) continue;  // not for this engine
    scanOnce();
  }
  terminal->presentNoRead();
  scanOnce();
  HaltReader(255);

  const std::vector<Bytes> answers = sentAnswers(*terminal->engine());
  const std::string tag = "k" + std::to_string(kind) + "_";
  const std::uint8_t kindIndex = static_cast<std::uint8_t>(kind - kTextEngine);
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const Bytes &answer = answers[i];
    if (i >= 24 && answer.size() < 7) continue;  // the short answers repeat
    const std::string name = tag + std::to_string(i);
    const bool ssiDecode = kind != kTextEngine && answer.size() > 6 && answer[1] == 0xF3;
    // Frames: the answer alone, then silence; SSI decodes behind the
    // checksum left by the start-decode answer before them.
    Bytes frameScript;
    if (ssiDecode && i > 0) appendData(frameScript, Bytes(answers[i - 1].end() - 2, answers[i - 1].end()));
    appendData(frameScript, answer);
    appendGap(frameScript);
    out.write("frame_reading", name,
              join({{static_cast<std::uint8_t>(kindIndex | (ssiDecode ? 0x10 : 0)), 4}, frameScript}));
    if (ssiDecode) {
      const Bytes packet(answer.begin(), answer.end() - 2);
      out.write(
          "ssi_decode", name,
          join({{static_cast<std::uint8_t>(kind == kSsiEngine4 ? 3 : 2), static_cast<std::uint8_t>(packet.size())},
                packet,
                frameScript}));
      // Naming: the type byte and the data, as the decode read leaves them.
      out.write("decode_naming", name, join({{kindIndex, 0, 0}, Bytes(answer.begin() + 4, answer.end() - 2)}));
    }
    if (kind == kTextEngine && answer.size() > 2 && answer.back() == 0x0D) {
      const Bytes body(answer.begin() + (answer.front() == 0x1B ? 1 : 0), answer.end() - 1);
      out.write("decode_naming", name, join({{0, 0, 0}, body}));
    }
  }
  if (kind == kTextEngine) {
    // The start's probe and block, then the settings writes: four
    // operations on groups that send (Code 128, EAN-128) and one that reads.
    const Bytes ops = {0x8E, 0x01, 0x00, 0x8F, 0x03, 0x00, 0x10, 0x00, 0x00, 0x80, 0x1F, 0x00};
    out.write("text_engine_answers", "start_and_saves", join({ops, conversation(answers, 0, 6)}));
    out.write("text_engine_answers", "refused_save",
              join({ops, conversation(answers, 0, 2), {kEscape, 0x00, 'N', 'G', 0x0D}}));
  }
}

// ---- Modules -----------------------------------------------------------------------

const char *const kTags[] = {"mifare:04A1B2C3:00112233445566778899AABBCCDDEEFF:KEY",
                             "ultralight:04A1B2C3D4E5F6:CAFEF00D",
                             "icode:E0040100A1B2C3D4:11223344",
                             "philips:E00401A2B3C4D5E6:0102030405060708",
                             "ti:E007000012345672:00112233445566778899AABB",
                             "tagit:11223344:000102030405060708090A0B0C0D0E0F10111213",
                             "iso14443b:0A0B0C0D",
                             "em4135:E016000012345678:0011223344556677"};

void moduleSeeds(int kind, CorpusWriter &out) {
  int tagNumber = 0;
  for (const char *tagText : kTags) {
    auto terminal = startTerminal(0, kind, {tagText});
    if (InitReader() != 1) {
      std::fprintf(stderr, "module %d did not start\n", kind);
      return;
    }
    const std::size_t startAnswers = sentAnswers(*terminal->module()).size();
    char buffer[300] = {};
    ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, -1, 16, 0, "KEY");
    const unsigned char data[] = {0xA5, 0x5A, 0xFE, 0x01};
    int written = 0;
    WriteRfidData(data, -1, static_cast<int>(sizeof data), &written, 0, 0, "KEY");
    HaltReader(255);

    const std::vector<Bytes> answers = sentAnswers(*terminal->module());
    const std::string name = "k" + std::to_string(kind) + "_tag" + std::to_string(tagNumber++);
    const std::uint8_t kindIndex = static_cast<std::uint8_t>(kind == kAsciiModule ? 3 : 4);
    for (std::size_t i = startAnswers; i < answers.size() && i < startAnswers + 2; ++i) {
      Bytes frameScript;
      appendData(frameScript, answers[i]);
      appendGap(frameScript);
      out.write("frame_reading", name + "_" + std::to_string(i), join({{kindIndex, 4}, frameScript}));
    }
    const std::size_t session = answers.size() - startAnswers;
    if (kind == kAsciiModule) {
      // Options: variant 1; start -1, length 16; key "KEY"; 2 data bytes
      // written at block 4, offset 0. Then the tag cycle's answers after the
      // switch-on.
      const Bytes head = {0x01, 0xFF, 16, 3, 'K', 'E', 'Y', 2, 0xA5, 0x5A, 4, 0};
      // With and without the switch-on's answer in front.
      out.write("ascii_module_answers", name, join({head, conversation(answers, startAnswers, session)}));
      out.write("ascii_module_answers", name + "_after_on",
                join({head, conversation(answers, startAnswers + 1, session)}));
      for (std::size_t i = startAnswers; i < answers.size(); ++i) {
        Bytes line = answers[i];
        while (!line.empty() && (line.back() == 0x0A || line.back() == 0x0D)) line.pop_back();
        if (line.size() > 2 && std::string("IMSTVZ").find(static_cast<char>(line[0])) != std::string::npos) {
          out.write("decode_naming", name, join({{3, 0, 0}, line}));
          break;
        }
      }
    } else {
      // Each answer parsed under every protocol, and the cycle's answers as
      // a session under the protocol that found the tag.
      for (std::size_t i = startAnswers; i < answers.size() && i < startAnswers + 3; ++i)
        out.write("hex_module_answers", name + "_answer" + std::to_string(i),
                  join({{static_cast<std::uint8_t>(i % 4), 0xFF, 16}, answers[i]}));
      for (std::uint8_t selector = static_cast<std::uint8_t>(tagNumber % 2); selector < 4; selector += 2)
        out.write("hex_module_answers", name + "_session" + std::to_string(selector),
                  join({{static_cast<std::uint8_t>(0x20 | selector), 0xFF, 16},
                        conversation(answers, answers.size() - std::min<std::size_t>(session, 6), 6)}));
    }
  }
  if (kind == kAsciiModule) {
    auto terminal = startTerminal(0, kind, {});
    InitReader();
    HaltReader(255);
    const std::vector<Bytes> answers = sentAnswers(*terminal->module());
    out.write("ascii_module_answers", "k5_start",
              join({{0x03, 0, 0, 0, 0, 0, 0}, conversation(answers, 0, answers.size())}));
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_ROOT\n", argv[0]);
    return 2;
  }
  CorpusWriter out(argv[1]);
  for (const char *target : {"frame_reading", "ssi_decode", "text_engine_answers", "ascii_module_answers",
                             "hex_module_answers", "decode_naming"})
    out.clear(target);
  ReaderHostSetBroadcastListener(&onBroadcast, nullptr);
  for (int kind : {kTextEngine, kSsiEngine3, kSsiEngine4}) engineSeeds(kind, out);
  for (int kind : {kAsciiModule, kHexModule}) moduleSeeds(kind, out);
  ReaderHostSetBroadcastListener(nullptr, nullptr);
  std::printf("wrote %d seed inputs under %s\n", out.written(), argv[1]);
  return 0;
}
