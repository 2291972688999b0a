// The RFID module of DeviceKind 6: module frames as hexadecimal text
// without terminator, answered with text holding bracketed hexadecimal
// fields; fixed at 115200 bit/s.
//
// A frame is "01", a length byte LL (the frame's total bytes), then the
// rest: 2 * LL hexadecimal characters in all. Anything that cannot start a
// frame is skipped (recorded as malformed) until "01" and a sane length
// come again.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "readersim/pty_device.h"

namespace readersim {

class HexModule final : public PtyDevice {
 public:
  static constexpr int kSpeed = 115200;
  static constexpr int kAlways = -1;

  // The air protocols, numbered by the TagType of their family.
  enum class Protocol { None = 0, Iso14443A = 3, Iso14443B = 5, TagIt = 8, Iso15693 = 16 };

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

  // Puts a tag of `protocol` in the field: detection frames of that
  // protocol are answered with `answer` until removeTag(). Without a tag a
  // detection frame is answered with an empty field.
  void presentTag(Protocol protocol, std::string answer);
  void removeTag();

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
  void reply(std::string_view fields);

  const std::string probeAnswer_;
  Protocol selected_ = Protocol::None;
  std::map<std::string, int> silences_;
  std::optional<std::pair<Protocol, std::string>> tag_;
  std::string pending_;
  std::string garbage_;
};

}  // namespace readersim
