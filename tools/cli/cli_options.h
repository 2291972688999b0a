// readerctl's command line: global options, the command and its arguments.
#pragma once

#include <readersim/barcode.h>
#include <readersim/sim_tag.h>

#include <optional>
#include <string>
#include <vector>

namespace readerctl {

struct CliOptions {
  bool useInitReaderEx = false;  // --ex
  bool trace = false;            // --trace: print the serial trace
  bool traffic = false;          // --traffic: print the simulated devices' traffic
  // --readerd PATH: the socket of a readerd that serves the reader ("": none,
  // whatever READERD_SOCKET says); nullopt when not given.
  std::optional<std::string> readerdSocket;
  // The built-in simulated terminal (used when READER_COM1 and READER_COM2
  // are both unset).
  int engineKind = 2;
  int moduleKind = 6;
  std::optional<std::string> model;         // "none": unset
  std::optional<std::string> hardwareInfo;  // --hw-info (or --hw); "none": unset
  std::optional<std::string> serialNumber;
  int engineStartSpeed = 0;                         // 0: the simulator's default
  bool pacing = false;                              // --pacing (or --pace)
  std::vector<readersim::Barcode> barcodes;         // --barcode, queued in order
  std::optional<readersim::Barcode> steadyBarcode;  // --steady
  std::vector<readersim::SimTag> tags;              // --tag, in the field from the start
  // The options above given (--traffic too), each named once as given, in
  // order.
  std::vector<std::string> simulatorOptions;
  std::string command;
  std::vector<std::string> arguments;
  bool help = false;
  bool version = false;
};

// Parses argv; on a usage error returns nullopt and sets `error`. Everything
// after the command word is left to the command, unchecked. An option's
// value follows it as the next word or after '=' (--engine=3), as
// reader-sim takes it.
std::optional<CliOptions> parseOptions(int argc, char **argv, std::string &error);

}  // namespace readerctl
