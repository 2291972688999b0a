// The RFID module of DeviceKind 5: ASCII commands without terminator,
// answered with one line ended by CR LF.
//
// Commands of known length are complete when their last character arrives
// ("v", "s", "wpPPVV", "rpPP", and "rbNN" on a MultiISO module or "rNN" on
// an ISO 0.9v module); any other command is complete after 5 ms of silence.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "readersim/pty_device.h"

namespace readersim {

class AsciiModule final : public PtyDevice {
 public:
  enum class Version { MultiIso10, Iso09v };
  // How the module answers a write of its link speed parameter 0x0C.
  enum class SpeedChangeAnswer {
    Accept,  // echo the value, then move to the new speed
    Fail,    // "F", speed unchanged
    Refuse   // "R", speed unchanged
  };

  // Module parameter 0x0C: 00 9600, 01 19200, 02 38400, 03 57600, 04 115200.
  static constexpr std::uint8_t kLinkSpeedParameter = 0x0C;
  static constexpr std::chrono::milliseconds kCommandSilence{5};

  struct Options {
    Version version = Version::MultiIso10;
    // The whole version line; empty: the standard line of `version`.
    std::string versionLine;
    int startSpeed = 9600;
    SpeedChangeAnswer speedChangeAnswer = SpeedChangeAnswer::Accept;
  };

  AsciiModule();
  explicit AsciiModule(Options options);
  ~AsciiModule() override;

  Version version() const { return version_; }
  std::string versionLine() const { return versionLine_; }

  // Module parameters 0x0A to 0x1F; nullopt / false for any other number.
  std::optional<std::uint8_t> parameter(std::uint8_t number) const;
  bool setParameter(std::uint8_t number, std::uint8_t value);
  std::map<std::uint8_t, std::uint8_t> parameters() const;

  void setSpeedChangeAnswer(SpeedChangeAnswer answer);

  // Reading: switched on by "s", off when a tag line has been sent or the
  // host closes the port.
  bool reading() const;
  // Puts a tag in the field: its line (family letter, UID in hexadecimal)
  // is sent when reading is on, at once if it already is, and again on every
  // later "s" until removeTag().
  void presentTag(std::string line);
  void removeTag();

  // Command texts received, in order.
  std::vector<std::string> commands() const;

  static std::optional<int> speedOfCode(std::uint8_t code);
  static std::optional<std::uint8_t> codeOfSpeed(int bitsPerSecond);

 private:
  void onBytes(std::span<const std::uint8_t> bytes) override;
  std::optional<std::chrono::milliseconds> pendingFrameTimeout() const override;
  void onSilence() override;
  void onLineReset() override;
  void onHostClosed() override;

  std::optional<std::size_t> commandLength() const;
  void completeCommand();
  void handleCommand(const std::string &command);
  void handleParameterWrite(const std::string &command);
  void handleParameterRead(const std::string &command);
  void reply(std::string_view text);
  void sendTagLocked();

  const Version version_;
  const std::string versionLine_;
  std::map<std::uint8_t, std::uint8_t> parameters_;
  SpeedChangeAnswer speedChangeAnswer_;
  bool reading_ = false;
  std::optional<std::string> tag_;
  std::string pending_;
};

}  // namespace readersim
