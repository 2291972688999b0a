// The RFID module of DeviceKind 5: ASCII commands without terminator,
// answered with one line ended by CR LF.
//
// Commands of known length are complete when their last character arrives
// ("v", "s", "wpPPVV", "rpPP", and "rbNN" on a MultiISO module or "rNN" on
// an ISO 0.9v module); any other command is complete after 5 ms of silence.
//
// Tags: "s" selects the first tag in the field and answers its line (family
// letter, UID in hexadecimal); with none it answers the no-tag answer. Block
// and login commands address the selected tag while it stays in the field:
//   "rbNN" / "rNN"            read block NN: its bytes in uppercase hexadecimal
//   "wbNN"+data / "wNN"+data  write block NN with one block of hexadecimal
//                             data: the data echoed
//   "lSS"+key                 log in to Mifare sector SS with the key text: "L"
// The "b" forms belong to a MultiISO module, the others to an ISO 0.9v one;
// each answers the other's form with "?". Status letters:
//   "N"  no tag selected, or it has left the field
//   "?"  not understood: malformed, the other variant's form, data that is
//        not one block
//   "O"  a block the tag does not have
//   "F"  Mifare: a block outside the sector logged in; a refused login
//        (wrong key, no such sector, not a Mifare tag)
//   "R"  a write to a read-only block
// A login holds for one sector at a time; a refused login or the next "s"
// ends it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "readersim/rfid_module.h"

namespace readersim {

class AsciiModule final : public RfidModule {
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
    // The answer to "s" when no tag is in the field. Empty: none; reading
    // stays on and the first tag placed is reported at once.
    std::string noTagAnswer = "N";
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

  void setNoTagAnswer(std::string answer);

  // Reading: switched on by "s", off when a tag line or the no-tag answer
  // has been sent or the host closes the port.
  bool reading() const;
  // A raw tag line (garbage, odd lengths: what no tag gives), reported in
  // place of the field's tags: sent when reading is on, at once if it
  // already is, and again on every later "s" until removeTag(). It selects
  // no tag.
  void presentTag(std::string line);
  void removeTag();
  using RfidModule::removeTag;
  // The UID of the tag the last "s" selected, while it is in the field.
  std::optional<std::vector<std::uint8_t>> selectedTag() const;

  // Command texts received, in order.
  std::vector<std::string> commands() const;

  static std::optional<int> speedOfCode(std::uint8_t code);
  static std::optional<std::uint8_t> codeOfSpeed(int bitsPerSecond);

 private:
  void onBytes(std::span<const std::uint8_t> bytes) override;
  std::optional<std::chrono::milliseconds> pendingFrameTimeout() const override;
  std::size_t answerTrailerLength() const override { return 2; }  // CR LF
  void onSilence() override;
  void onLineReset() override;
  void onHostClosed() override;

  std::optional<std::size_t> commandLength() const;
  void completeCommand();
  void handleCommand(const std::string &command);
  void handleParameterWrite(const std::string &command);
  void handleParameterRead(const std::string &command);
  void handleSelect();
  void handleBlockRead(const std::string &command);
  void handleBlockWrite(const std::string &command);
  void handleLogin(const std::string &command);
  // The selected tag, or nullptr after answering "N".
  SimTag *selectedOrAnswer();
  // Block number of "rbNN"/"rNN" and the like, by the module's variant;
  // nullopt when the command has the other form.
  std::optional<int> blockNumber(const std::string &command, char letter, std::size_t &dataAt) const;
  // Answers an on-demand failure of `block` if one is due.
  bool answeredBlockFault(BlockAccess access, int block);
  void reply(std::string_view text);
  void sendTagLocked();
  void onTagPlacedLocked() override;

  const Version version_;
  const std::string versionLine_;
  std::map<std::uint8_t, std::uint8_t> parameters_;
  SpeedChangeAnswer speedChangeAnswer_;
  std::string noTagAnswer_;
  bool reading_ = false;
  std::optional<std::string> rawLine_;
  std::optional<std::vector<std::uint8_t>> selected_;
  std::optional<int> loggedInSector_;
  std::string pending_;
};

}  // namespace readersim
