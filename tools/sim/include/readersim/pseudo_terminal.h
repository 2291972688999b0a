// The device's end of a pseudo-terminal: the master. The host opens the
// slave path like a serial port.
//
// Not thread-safe: one thread uses it (the device thread of PtyDevice).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace readersim {

class PseudoTerminal {
 public:
  // Creates the pair, puts the line in raw mode and opens and closes the
  // slave once, so the master reports a hang-up until the host opens it (a
  // master whose slave was never opened reports nothing). Throws
  // std::system_error.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal &) = delete;
  PseudoTerminal &operator=(const PseudoTerminal &) = delete;

  // The path the host opens ("/dev/pts/N"); kept after close().
  const std::string &slavePath() const { return slavePath_; }
  bool isOpen() const { return master_ >= 0; }
  // The master descriptor, -1 after close().
  int fd() const { return master_; }

  // The host's current line speed in bit/s. On Linux the termios of a pty
  // master are those of its slave, so this is the speed the host set.
  // nullopt when closed or the speed is not a standard one.
  std::optional<int> hostSpeed() const;

  // Events on the master without waiting: POLLIN, POLLHUP (no slave fd
  // open), ...
  short pollNow() const;

  // Writes all bytes, waiting up to 1 s for room when the host is not
  // reading. false when the port failed or stayed full.
  bool writeAll(std::span<const std::uint8_t> bytes);

  // Closes the master; the host's next read or write fails with a hang-up.
  void close();

  // Closes the master as an unplugged device goes: the path disappears and
  // the host's next read or write fails with a hang-up. The pair's number
  // stays taken until this object goes (through a slave descriptor of its
  // own), so that a host still retrying the old path cannot open another
  // process's pseudo-terminal that the kernel gave the same number.
  void vanish();

 private:
  int master_ = -1;
  int numberKeeper_ = -1;
  std::string slavePath_;
};

}  // namespace readersim
