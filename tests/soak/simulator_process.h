// A simulated terminal run in a child process, so that what the simulators
// keep (their traffic logs, the decodes they sent) does not count in the
// memory figures of the process that runs the library. The test talks to it
// over a socket pair, one request line and one answer line at a time.
//
// Start it before the library starts any thread: the child is forked.
#pragma once

#include <readersim/readersim.h>
#include <sys/types.h>

#include <string>

namespace soak_testing {

// What the child's simulators have sent since it started.
struct SentCounts {
  long decodes = 0;       // barcode decodes handed to the line
  long acknowledged = 0;  // of those, acknowledged by the host (SSI engines)
  long tagsReported = 0;  // detections the RFID module answered with a tag
};

class SimulatorProcess {
 public:
  // Forks the child, which builds the terminal; the terminal's environment
  // is then applied to this process. Throws std::runtime_error on failure.
  explicit SimulatorProcess(const readersim::TerminalConfig &config);
  // Ends the child and waits for it.
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess &) = delete;
  SimulatorProcess &operator=(const SimulatorProcess &) = delete;

  // Queues a barcode ("code128:DATA") in front of the engine; false when the
  // child refused it.
  bool presentBarcode(const std::string &barcode);
  // Empties the field and places one tag ("mifare:04A1B2C3").
  bool replaceTag(const std::string &tag);
  // Counts so far; the child drops its traffic logs at the same time, which
  // keeps its own memory bounded over a long run.
  SentCounts counts();

 private:
  std::string request(const std::string &line);

  pid_t child_ = -1;
  int socket_ = -1;
  std::string pending_;
};

}  // namespace soak_testing
