// The barcode scan engine of DeviceKind 2: short text commands, settings in
// one configuration block, fixed at 115200 bit/s.
//
// Host frames: a preamble of 0xFF bytes, ESC, the command text, CR. Answers:
// ESC, text, CR.
//
// Decodes: the type letter, "000", the data, CR; "*000" CR when the engine
// read nothing or a symbology it has no letter for. "ON" starts a scan, "OFF"
// ends it (see BarcodeEngine). Trigger modes 1, 5 and 7 (upper four bits of
// block byte 20) make the engine trigger itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "readersim/barcode_engine.h"

namespace readersim {

class TextEngine final : public BarcodeEngine {
 public:
  static constexpr int kSpeed = 115200;
  static constexpr std::size_t kDefaultBlockLength = 32;

  struct Options {
    std::vector<std::uint8_t> block = defaultBlock();
    std::string version = "TE2 V3.10";
  };

  // The factory configuration block: the first `length` bytes of the
  // engine's defaults (zero-filled past 32 bytes).
  static std::vector<std::uint8_t> defaultBlock(std::size_t length = kDefaultBlockLength);

  TextEngine();
  explicit TextEngine(Options options);
  ~TextEngine() override;

  std::vector<std::uint8_t> block() const;
  void setBlock(std::vector<std::uint8_t> block);

  // The upper four bits of byte 20; 0 when the block is shorter.
  static int triggerMode(const std::vector<std::uint8_t> &block);
  static bool isSelfTriggeredMode(int mode) { return mode == 1 || mode == 5 || mode == 7; }

  // Data holding CR (it would end the decode early).
  std::optional<std::string> refusal(const Barcode &barcode) const override;

  // Refuse the next `commands` answered commands with "NG" ("ON" and "OFF"
  // are never answered and so never refused).
  void refuseNext(int commands);
  void setRefuseAll(bool on);

  // Command texts of the frames received, in order ("VER", "SET", ...).
  std::vector<std::string> commands() const;

  // The command text of a received frame: after ESC (or after the preamble
  // when ESC is missing), without the CR.
  static std::string commandText(const std::vector<std::uint8_t> &frame);

 private:
  void onBytes(std::span<const std::uint8_t> bytes) override;
  std::optional<std::chrono::milliseconds> pendingFrameTimeout() const override;
  void onSilence() override;
  void onLineReset() override;
  bool selfTriggeredLocked() const override;
  void sendOutcomeLocked(const ScanOutcome &outcome) override;

  void handleCommand(const std::string &command);
  void reply(std::string_view text);

  std::vector<std::uint8_t> block_;
  std::string version_;
  int refuseNext_ = 0;
  bool refuseAll_ = false;
  std::vector<std::uint8_t> pending_;
};

}  // namespace readersim
