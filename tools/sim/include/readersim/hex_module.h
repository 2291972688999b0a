// The RFID module of DeviceKind 6: module frames as hexadecimal text
// without terminator, answered with text holding bracketed hexadecimal
// fields; fixed at 115200 bit/s.
//
// A frame is "01", a length byte LL (the frame's total bytes), then the
// rest: 2 * LL hexadecimal characters in all. Anything that cannot start a
// frame is skipped (recorded as malformed) until "01" and a sane length
// come again.
//
// Tags: a detection frame is answered for the tags of its protocol's
// families (TagFamilyInfo::protocol) only while that protocol is the one
// selected; otherwise, and with no such tag in the field, with the
// protocol's no-tag answer (hex_tag_answers.h). Request frames (command 18,
// flags 00) go to the first tag of the selected protocol:
//   18 00 08 NN        Tag-it read: "[00NN00" + the block shifted by 2 bits "]"
//   18 00 28 NN d...   Tag-it write of one block: "[00]"
//   18 00 20 NN        ISO 15693 Read Single Block: "[" flags + block "]"
//   18 00 23 NN CC     Read Multiple Blocks NN to NN+CC: "[" flags + blocks "]"
//   18 00 21 NN d...   Write Single Block: "[" flags "]"
// With no such tag: the no-tag answer. A Tag-it tag stays silent (the no-tag
// answer) to a block it does not have, a write to a read-only block and data
// that is not one block; an ISO 15693 tag answers error 10 (no such block),
// 12 (read-only) or 0F (data not one block). Other frames are not answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "readersim/rfid_module.h"

namespace readersim {

class HexModule final : public RfidModule {
 public:
  static constexpr int kSpeed = 115200;

  // The air protocols, numbered by the TagType of their family.
  using Protocol = AirProtocol;

  // The fixed frames a host sends.
  static constexpr std::string_view kProbeFrame = "0108000304FE0000";
  static constexpr std::string_view kSetupFrame1 = "0109000304F0000000";
  static constexpr std::string_view kSetupFrame2 = "0109000304F1FF0000";
  static constexpr std::string_view kSelectIso14443A = "010C00030410002101090000";
  static constexpr std::string_view kSelectIso14443B = "010C000304100021010C0000";
  static constexpr std::string_view kSelectTagIt = "010C00030410002101130000";
  static constexpr std::string_view kSelectIso15693 = "010C00030410002101000000";
  static constexpr std::string_view kDetectIso14443A = "0109000304A0010000";
  static constexpr std::string_view kDetectIso14443B = "0109000304B0040000";
  static constexpr std::string_view kDetectTagIt = "010B000304340050000000";
  static constexpr std::string_view kDetectIso15693 = "010B000304140401000000";

  struct Options {
    // The answer to the probe frame.
    std::string probeAnswer = "[0210][HF-RDR 2.10]";
  };

  HexModule();
  explicit HexModule(Options options);
  ~HexModule() override;

  // The protocol the last protocol-select frame chose.
  Protocol selectedProtocol() const;

  // Stay silent to the next `times` occurrences of one frame (kAlways:
  // every one), e.g. only to the second set-up frame. Compared without
  // regard to letter case.
  void silenceFrame(std::string_view frame, int times = kAlways);
  void clearFrameSilences();

  // A raw detection answer (what no tag gives): detection frames of
  // `protocol` are answered with `answer`, whatever is selected or in the
  // field, until removeTag().
  void presentTag(Protocol protocol, std::string answer);
  void removeTag();
  using RfidModule::removeTag;

  // Frame texts received, in order (uppercase).
  std::vector<std::string> frames() const;

 private:
  void onBytes(std::span<const std::uint8_t> bytes) override;
  std::optional<std::chrono::milliseconds> pendingFrameTimeout() const override;
  void onSilence() override;
  void onLineReset() override;

  void scan();
  void skipGarbage(std::size_t count);
  void flushGarbage();
  void handleFrame(const std::string &frame);
  void handleDetection(Protocol protocol);
  void handleRequest(const std::string &frame);
  void handleTagitRequest(SimTag *tag, std::uint8_t operation, int block, std::span<const std::uint8_t> data);
  void handleVicinityRequest(SimTag *tag, std::uint8_t operation, int block, std::span<const std::uint8_t> data);
  // An on-demand failure of `block`, answered if one is due.
  bool answeredBlockFault(BlockAccess access, int block);
  std::vector<const SimTag *> tagsOfLocked(Protocol protocol) const;
  std::string commandKey(std::string_view prefix) const override;
  void reply(std::string_view fields);

  const std::string probeAnswer_;
  Protocol selected_ = Protocol::None;
  std::map<std::string, int> silences_;
  std::optional<std::pair<Protocol, std::string>> rawDetection_;
  std::string pending_;
  std::string garbage_;
};

}  // namespace readersim
