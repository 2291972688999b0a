// readerd: owns the terminal's reader and serves it to clients on a Unix
// socket, one JSON object per line.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "readerd_server.h"
#include "unix_listener.h"

namespace {

readerd::Server *gServer = nullptr;

void onSignal(int) {
  if (gServer != nullptr) gServer->stop();
}

void usage(std::ostream &out) {
  out << "usage: readerd [--socket PATH]\n"
         "  --socket PATH  the Unix socket to listen on (default "
      << readerd::defaultSocketPath() << ")\n";
}

}  // namespace

int main(int argc, char **argv) {
  readerd::ServerOptions options;
  options.socketPath = readerd::defaultSocketPath();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--socket" && i + 1 < argc) {
      options.socketPath = argv[++i];
    } else if (argument.rfind("--socket=", 0) == 0) {
      options.socketPath = argument.substr(9);
    } else if (argument == "--help" || argument == "-h") {
      usage(std::cout);
      return 0;
    } else {
      std::cerr << "readerd: unknown argument " << argument << "\n";
      usage(std::cerr);
      return 2;
    }
  }

  readerd::Server server(options);
  std::string error;
  if (!server.listen(error)) {
    std::cerr << "readerd: " << error << "\n";
    return 1;
  }
  gServer = &server;
  struct sigaction action {};
  action.sa_handler = &onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  server.run();
  gServer = nullptr;
  return 0;
}
