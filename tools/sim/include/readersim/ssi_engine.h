// Barcode scan engines of DeviceKinds 3 and 4: SSI packets with numbered
// parameters and a switchable link speed.
//
// Start decode (E4) is acknowledged and starts a scan, whose barcode follows
// as a decode packet (see ssi_decode.h and BarcodeEngine); a no-read sends
// nothing. Stop decode (E5) is acknowledged and ends the scan. The host
// acknowledges each decode (04 D0 04 00).
//
// The wake line: the host asserts it before each packet and releases it
// after. Here it is driven through setWakeLine() (a test routes the host's
// RTS to it), and the engine is awake once it has noticed an asserted line,
// after the notice delay; the host may watch awake() through a status line.
// From the first setWakeLine() on, the line counts as connected, and each
// packet received while it was asserted carries traffic_flag::kWakeAsserted;
// an engine whose line is never driven logs exactly as before.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "readersim/barcode_engine.h"
#include "readersim/ssi_packet.h"
#include "readersim/ssi_parameter_table.h"

namespace readersim {

class SsiEngine final : public BarcodeEngine {
 public:
  // The byte before the third space of the revision text tells the host the
  // variant: 'P' for kind 3; 0x00, 0x07 or 'G' for kind 4.
  static constexpr std::uint8_t kVariantKind3 = 'P';
  static constexpr std::uint8_t kVariantKind4 = 'G';

  struct Options {
    int kind = 3;  // 3 or 4: the parameter set the engine has
    // The variant byte of the revision text; unset: the one of `kind`. Set
    // it apart from `kind` to present an engine that claims another variant.
    std::optional<std::uint8_t> variantByte;
    // An engine sits at 9600 after power-up until the host moves it.
    int startSpeed = 9600;
    // The set-defaults command puts the engine back at 9600; an engine that
    // keeps its link speed through it stays where it is.
    bool keepsSpeedOnDefaults = false;
    // How long the engine takes to notice each change of the wake line (0:
    // at once); nullopt: it never notices an assert and stays asleep.
    std::optional<std::chrono::milliseconds> wakeNoticeDelay = std::chrono::milliseconds(0);
  };

  SsiEngine();
  explicit SsiEngine(Options options);
  ~SsiEngine() override;

  int engineKind() const { return engineKind_; }

  // nullopt for a parameter this engine does not have.
  std::optional<std::uint8_t> parameter(ssi::ParameterNumber number) const;
  // false (nothing changed) for a parameter this engine does not have.
  // Setting kLinkSpeed to a known code moves the device speed at once.
  bool setParameter(ssi::ParameterNumber number, std::uint8_t value);
  std::map<ssi::ParameterNumber, std::uint8_t> parameters() const;

  std::uint8_t variantByte() const;
  void setVariantByte(std::uint8_t variant);
  // The revision text sent as data of the revision reply.
  std::vector<std::uint8_t> revisionText() const;

  // Start decode received and no stop decode since.
  bool decoding() const { return scanning(); }
  bool aiming() const;

  // What the engine did, in order: the host's switching and its decodes.
  enum class Event { AimOn, AimOff, StartDecode, StopDecode, DecodeSent };
  std::vector<Event> events() const;

  // Data a decode packet cannot carry (see ssi::decodeRefusal()).
  std::optional<std::string> refusal(const Barcode &barcode) const override;

  // Answer the next `packets` packets that would be answered with a NAK of
  // `cause` instead (nothing is applied).
  void nakNext(int packets, std::uint8_t cause = ssi::kNakResend);

  // The host asserts (true) or releases the wake line. Bytes it sent before
  // are taken in first: a packet written before a release arrived asserted.
  void setWakeLine(bool asserted);
  bool wakeLineAsserted() const;
  // The engine has noticed the asserted wake line and not yet its release.
  bool awake() const;

  // Packets received with a valid checksum, in order.
  std::vector<ssi::Packet> packetsReceived() const;

  // The link speed codes of parameter 0x9C.
  static std::optional<int> speedOfCode(std::uint8_t code);
  static std::optional<std::uint8_t> codeOfSpeed(int bitsPerSecond);

 private:
  void onBytes(std::span<const std::uint8_t> bytes) override;
  std::optional<std::chrono::milliseconds> pendingFrameTimeout() const override;
  std::size_t answerTrailerLength() const override { return 2; }  // the checksum
  void onSilence() override;
  void onLineReset() override;
  void sendOutcomeLocked(const ScanOutcome &outcome) override;

  void handlePacket(const std::vector<std::uint8_t> &raw);
  void handleParamSend(const ssi::Packet &packet);
  void handleParamRequest(const ssi::Packet &packet);
  void sendAck();
  void sendNak(std::uint8_t cause);
  std::optional<std::uint8_t> parameterLocked(ssi::ParameterNumber number) const;
  std::vector<std::uint8_t> revisionTextLocked() const;
  bool awakeLocked(std::chrono::steady_clock::time_point now) const;

  const int engineKind_;
  const bool keepsSpeedOnDefaults_;
  std::map<ssi::ParameterNumber, std::uint8_t> parameters_;
  std::uint8_t variant_;
  bool aiming_ = false;
  std::vector<Event> events_;
  int nakNext_ = 0;
  std::uint8_t nakCause_ = ssi::kNakResend;
  std::vector<std::uint8_t> pending_;

  const std::optional<std::chrono::milliseconds> wakeNoticeDelay_;
  bool wakeConnected_ = false;
  bool wakeAsserted_ = false;
  std::chrono::steady_clock::time_point wakeChangedAt_{};
  bool awakeBeforeChange_ = false;  // what the engine had noticed before the last change
};

}  // namespace readersim
