// Barcodes on demand: the symbology table and its text form, and the decodes
// the engines send for them, read back the way the host reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "host_port.h"
#include "readersim/barcode.h"
#include "readersim/hex_text.h"
#include "readersim/ssi_decode.h"
#include "readersim/ssi_engine.h"
#include "readersim/text_engine.h"

namespace readersim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::HostPort;
using testing::kTimeout;

TEST(Symbology, TableCoversEveryTypeTheHostNamesUnderOneNameEach) {
  std::set<char> letters;
  std::set<int> ssiTypes;
  std::set<std::string> names;
  for (const SymbologyEntry &entry : symbologyTable()) {
    auto found = findSymbology(entry.name);
    ASSERT_TRUE(found.has_value()) << entry.name;
    EXPECT_EQ(found->name, entry.name);  // no alias or earlier row hides it
    EXPECT_TRUE(names.insert(found->name).second) << entry.name;
    if (found->letter) letters.insert(*found->letter);
    if (found->ssiType) ssiTypes.insert(*found->ssiType);
  }
  EXPECT_EQ(letters, (std::set<char>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L',
                                     'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'Z', '['}));
  std::set<int> named{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  14,  15,  16,  17, 19,
                      21, 22, 23, 25, 26, 27, 28, 30, 31, 32, 33, 34,  35,  36,  37,  38, 39,
                      40, 48, 49, 50, 51, 55, 56, 72, 73, 74, 75, 136, 137, 138, 139, 144};
  for (int type = 80; type <= 90; ++type) named.insert(type);
  for (int type = 97; type <= 104; ++type) named.insert(type);
  EXPECT_EQ(ssiTypes, named);
}

TEST(Barcode, ParsesNamesRawFormsSegmentsAndEscapesAndRoundTrips) {
  auto ean = barcodeOf("EAN-13:4006381333931");
  EXPECT_EQ(ean.symbology.letter, 'P');
  EXPECT_EQ(ean.symbology.ssiType, 11);
  EXPECT_EQ(barcodeOf("gs1_128:x").symbology.name, "ean128");
  auto colonLetter = barcodeOf("letter=::a:b");  // the letter may be the separator
  EXPECT_EQ(colonLetter.symbology.letter, ':');
  EXPECT_EQ(colonLetter.data, bytesOf("a:b"));
  EXPECT_EQ(barcodeOf("ssi=0x99:x").symbology.ssiType, 0x99);
  EXPECT_EQ(barcodeOf("code39:").data, Bytes{});
  auto segmented = barcodeOf("qr/3:\\x1D\\\\\\e\\r");
  EXPECT_EQ(segmented.ssiSegments, 3);
  EXPECT_EQ(segmented.data, (Bytes{0x1D, '\\', 0x1B, '\r'}));

  Barcode every{*findSymbology("code128"), {}, 7};
  for (int b = 0; b < 256; ++b) every.data.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(barcodeOf(formatBarcode(every)), every);

  for (const char *bad : {"code39", "nosuch:1", "letter=ab:1", "ssi=256:1", "code39/0:1", "code39/x:1", "code39:\\q",
                          "code39:\\x4", "code39:ab\\"}) {
    auto parsed = parseBarcode(bad);
    EXPECT_FALSE(parsed) << bad;
    EXPECT_FALSE(parsed.error.empty()) << bad;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << bad;
  }
}

// --- kind 2 ------------------------------------------------------------------------

std::string command(std::string_view text) { return std::string(30, '\xFF') + "\x1B" + std::string(text) + "\r"; }

std::vector<std::uint8_t> blockWithTriggerMode(int mode) {
  auto block = TextEngine::defaultBlock();
  block[20] = static_cast<std::uint8_t>((block[20] & 0x0F) | mode << 4);
  return block;
}

TEST(TextEngineDecode, EachOnTakesOneOutcomeAndWaitsWhenNothingIsInView) {
  TextEngine::Options options;
  options.block = blockWithTriggerMode(0);
  TextEngine engine(options);
  HostPort host(engine.portPath(), TextEngine::kSpeed);
  engine.presentBarcode(barcodeOf("code128:ABC"));
  engine.presentNoRead();
  engine.presentSilence();
  engine.presentBarcode(barcodeOf("qr:no letter"));
  EXPECT_THROW(engine.presentBarcode(barcodeOf("code39:A\\rB")), std::invalid_argument);

  auto cycle = [&] {
    EXPECT_TRUE(host.write(command("ON")));
    std::string decode = host.readUntil('\r');
    EXPECT_TRUE(host.write(command("OFF")));
    return decode;
  };
  EXPECT_EQ(cycle(), "I000ABC\r");
  EXPECT_EQ(cycle(), "*000\r");
  EXPECT_TRUE(host.write(command("ON") + command("OFF")));  // the silent scan
  EXPECT_EQ(cycle(), "*000\r");                             // is the first thing read after it
  EXPECT_TRUE(engine.presented().empty());

  ASSERT_TRUE(host.write(command("ON")));
  ASSERT_TRUE(engine.waitForFrames(9, kTimeout));
  EXPECT_TRUE(engine.cycleOpen());
  engine.presentBarcode(barcodeOf("letter=V:\\x00late"));
  EXPECT_EQ(host.read(10, '\r'), std::string("V000\0late\r", 10));
  EXPECT_EQ(engine.decodesSent(), 2u);
}

TEST(TextEngineDecode, SelfTriggeredEngineSendsWithoutOnAndRepeatsTheSteadyBarcode) {
  TextEngine::Options options;
  options.block = blockWithTriggerMode(0);
  TextEngine engine(options);
  engine.presentBarcode(barcodeOf("ean8:12345670"));
  HostPort host(engine.portPath(), TextEngine::kSpeed);
  // Queued while the host scans itself; the mode change sends it.
  EXPECT_TRUE(host.write(command("SAVE" + toHexText(blockWithTriggerMode(5)))));
  EXPECT_EQ(host.readUntil('\r'), "\x1BOK\r");
  EXPECT_EQ(host.readUntil('\r'), "M00012345670\r");

  // Nothing goes to a closed port: what is presented meanwhile waits.
  host.close();
  ASSERT_TRUE(engine.waitForHostCloseCount(1, kTimeout));
  engine.presentBarcode(barcodeOf("code93:late"));
  HostPort again(engine.portPath(), TextEngine::kSpeed);
  EXPECT_EQ(again.readUntil('\r'), "H000late\r");
  auto records = engine.log().snapshot();
  EXPECT_EQ(std::count_if(records.begin(), records.end(),
                          [](const TrafficRecord &r) { return r.has(traffic_flag::kNotSent); }),
            0);

  engine.setSteadyBarcode(barcodeOf("code39:S"));
  EXPECT_EQ(again.readUntil('\r'), "A000S\r");
  EXPECT_EQ(again.readUntil('\r'), "A000S\r");
  EXPECT_EQ(engine.presented().size(), 0u);
}

// --- SSI -----------------------------------------------------------------------------

Bytes hostPacket(std::uint8_t opcode) { return ssi::makePacket(opcode, ssi::kSourceHost, 0); }
const Bytes kAck = ssi::makePacket(ssi::kOpcodeAck, ssi::kSourceEngine, 0);

// The host's reading of a decode packet, from its length byte on: the type
// and the data it stores. The two checksum bytes are then checked here.
Bytes hostDecodeRead(HostPort &host) {
  auto next = [&] {
    std::string b = host.read(1);
    EXPECT_EQ(b.size(), 1u);
    return b.empty() ? std::uint8_t{0} : static_cast<std::uint8_t>(b[0]);
  };
  Bytes packet{next()};
  int length = packet[0];
  for (int i = 0; i < 3; ++i) packet.push_back(next());
  EXPECT_EQ(packet[1], ssi::kOpcodeDecodeData);
  length -= 4;
  Bytes stored;
  std::uint8_t type = next();
  packet.push_back(type);
  --length;
  if (type != ssi::kMultiPacketType) {
    stored.push_back(type);
    for (int i = 0; i < length; ++i) stored.push_back(packet.emplace_back(next()));
  } else {
    stored.push_back(packet.emplace_back(next()));
    packet.push_back(next());
    length -= 2;
    for (int count = 0; count < length;) {
      std::uint8_t b = packet.emplace_back(next());
      ++count;
      if (b != 0) {
        stored.push_back(b);
        continue;
      }
      packet.push_back(next());
      packet.push_back(next());
      count += 2;
    }
  }
  packet.push_back(next());
  packet.push_back(next());
  EXPECT_TRUE(ssi::checksumValid(packet)) << hexDump(packet);
  return stored;
}

class SsiDecodeTest : public ::testing::Test {
 protected:
  explicit SsiDecodeTest(int kind = 3) : engine(options(kind)) {}
  static SsiEngine::Options options(int kind) {
    SsiEngine::Options o;
    o.kind = kind;
    return o;
  }
  void send(std::uint8_t opcode) { ASSERT_TRUE(host.write(hostPacket(opcode))); }
  Bytes decodeCycle() {
    send(ssi::kOpcodeStartDecode);
    EXPECT_EQ(host.readSsiPacket(), kAck);
    Bytes decode = hostDecodeRead(host);
    send(ssi::kOpcodeAck);
    send(ssi::kOpcodeStopDecode);
    EXPECT_EQ(host.readSsiPacket(), kAck);
    return decode;
  }
  static Bytes typed(std::uint8_t type, const Bytes &data) {
    Bytes bytes{type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
  }

  SsiEngine engine;
  HostPort host{engine.portPath(), 9600};
};

TEST_F(SsiDecodeTest, PlainAndMultiPacketDecodesReadBackExactlyAndAreAcknowledged) {
  engine.presentBarcode(barcodeOf("upca:0123"));
  send(ssi::kOpcodeStartDecode);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  Bytes expected{0x09, 0xF3, 0x00, 0x00, 0x08, '0', '1', '2', '3'};
  auto sum = ssi::checksum(expected);
  expected.insert(expected.end(), sum.begin(), sum.end());
  EXPECT_EQ(host.read(expected.size()), std::string(expected.begin(), expected.end()));
  send(ssi::kOpcodeAck);
  send(ssi::kOpcodeStopDecode);
  EXPECT_EQ(host.readSsiPacket(), kAck);

  Bytes longest(ssi::kMaxDecodeData, 0x00);  // zero bytes are data in the plain form
  engine.presentBarcode({*findSymbology("pdf417"), longest, 0});
  EXPECT_EQ(decodeCycle(), typed(17, longest));

  Bytes text;
  for (int i = 0; i < 200; ++i) text.push_back(static_cast<std::uint8_t>(1 + i % 255));
  engine.presentBarcode({*findSymbology("datamatrix"), text, 7});
  EXPECT_EQ(decodeCycle(), typed(27, text));
  engine.presentBarcode(barcodeOf("ssi=0x99:AB"));  // only the multi-packet form can name it
  EXPECT_EQ(decodeCycle(), typed(0x99, bytesOf("AB")));

  EXPECT_THROW(engine.presentBarcode({*findSymbology("qr"), Bytes(ssi::kMaxDecodeData + 1, 'x'), 0}),
               std::invalid_argument);
  EXPECT_THROW(engine.presentBarcode(barcodeOf("qr/2:A\\x00B")), std::invalid_argument);
  EXPECT_THROW(engine.presentBarcode(barcodeOf("qr/3:AB")), std::invalid_argument);

  // The last decode's acknowledgement may still be on its way.
  ASSERT_TRUE(engine.waitForFrames(12, kTimeout));
  ASSERT_EQ(engine.decodesSent(), 4u);
  EXPECT_EQ(engine.decodesAcknowledged(), 4u);
}

TEST_F(SsiDecodeTest, StopDecodeDropsTheWaitingDecodeAndUndecodableScansSendNothing) {
  engine.setDecodeDelay(std::chrono::hours(1));
  engine.presentBarcode(barcodeOf("code39:dropped"));
  send(ssi::kOpcodeStartDecode);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  send(ssi::kOpcodeStopDecode);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  EXPECT_EQ(engine.decodesDropped(), 1u);
  EXPECT_TRUE(engine.presented().empty());

  engine.setDecodeDelay(std::chrono::milliseconds(0));
  engine.presentNoRead();
  engine.presentBarcode(barcodeOf("frenchpharma:123"));  // no SSI type
  engine.presentSilence();
  for (int i = 0; i < 3; ++i) {
    send(ssi::kOpcodeStartDecode);
    EXPECT_EQ(host.readSsiPacket(), kAck);
    send(ssi::kOpcodeStopDecode);
    EXPECT_EQ(host.readSsiPacket(), kAck);  // nothing came in between
  }
  engine.presentBarcode(barcodeOf("code39:kept"));
  send(ssi::kOpcodeStartDecode);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  EXPECT_EQ(hostDecodeRead(host), typed(1, bytesOf("kept")));
  send(ssi::kOpcodeStopDecode);  // no acknowledgement from this host
  EXPECT_EQ(host.readSsiPacket(), kAck);
  ASSERT_EQ(engine.sentDecodes().size(), 1u);
  EXPECT_FALSE(engine.sentDecodes()[0].acknowledged);
}

class SsiKind4DecodeTest : public SsiDecodeTest {
 protected:
  SsiKind4DecodeTest() : SsiDecodeTest(4) {}
};

TEST_F(SsiKind4DecodeTest, AimingIsAcknowledgedAndRecordedInOrderWithTheDecode) {
  engine.setSteadyBarcode(barcodeOf("ean13:4006381333931"));
  send(ssi::kOpcodeAimOn);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  EXPECT_TRUE(engine.aiming());
  send(ssi::kOpcodeAimOff);
  EXPECT_EQ(host.readSsiPacket(), kAck);
  EXPECT_EQ(decodeCycle(), typed(11, bytesOf("4006381333931")));
  using Event = SsiEngine::Event;
  EXPECT_EQ(engine.events(), (std::vector<Event>{Event::AimOn, Event::AimOff, Event::StartDecode, Event::DecodeSent,
                                                 Event::StopDecode}));
  EXPECT_FALSE(engine.aiming());
  EXPECT_EQ(engine.steadyBarcode(), barcodeOf("ean13:4006381333931"));  // still in view
}

}  // namespace
}  // namespace readersim
