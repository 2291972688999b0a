// readerd: owns the terminal's reader and serves it to clients on a Unix
// socket (and optionally a read-only TCP port on the loopback address), one
// JSON object per line.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "readerd_server.h"
#include "service_config.h"
#include "unix_listener.h"

#ifndef READER_TOOLS_VERSION
#  define READER_TOOLS_VERSION "unknown"
#endif

namespace {

readerd::Server *gServer = nullptr;

void onStop(int) {
  if (gServer != nullptr) gServer->stop();
}

void onReload(int) {
  if (gServer != nullptr) gServer->reload();
}

void usage(std::ostream &out) {
  out << "usage: readerd [--config PATH] [--socket PATH]\n"
         "  --config PATH  the configuration file (default: $READERD_CONFIG, else /etc/readerd.conf)\n"
         "  --socket PATH  the Unix socket to listen on (default: SOCKET of the configuration, else "
      << readerd::defaultSocketPath()
      << ")\n"
         "  --version      print the version\n"
         "SIGHUP reads the configuration again; SIGTERM and SIGINT halt the reader and end the service.\n"
         "The protocol: one JSON object per line; send {\"cmd\":\"help\"} or see the README.\n";
}

// The value of `--name VALUE` or `--name=VALUE` at argv[i]; advances i.
bool optionValue(int argc, char **argv, int &i, const char *name, std::string &value) {
  const std::string argument = argv[i];
  const std::string prefix = std::string(name) + "=";
  if (argument == name && i + 1 < argc) {
    value = argv[++i];
    return true;
  }
  if (argument.rfind(prefix, 0) == 0) {
    value = argument.substr(prefix.size());
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  std::string configPath = readerd::defaultConfigPath();
  std::string socketPath;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (optionValue(argc, argv, i, "--socket", socketPath) || optionValue(argc, argv, i, "--config", configPath)) {
      continue;
    } else if (argument == "--help" || argument == "-h") {
      usage(std::cout);
      return 0;
    } else if (argument == "--version") {
      std::cout << "readerd " << READER_TOOLS_VERSION << "\n";
      return 0;
    } else {
      std::cerr << "readerd: unknown argument " << argument << "\n";
      usage(std::cerr);
      return 2;
    }
  }

  const readerd::ServiceConfigLoad load = readerd::loadServiceConfig(configPath);
  for (const std::string &problem : load.problems) std::cerr << "readerd: " << problem << "\n";
  readerd::ServerOptions options = readerd::ServerOptions::from(load.config);
  if (!socketPath.empty()) options.socketPath = socketPath;
  options.configPath = configPath;
  options.socketActivation = true;

  readerd::Server server(options);
  std::string error;
  if (!server.listen(error)) {
    std::cerr << "readerd: " << error << "\n";
    return 1;
  }
  gServer = &server;
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = &onStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = &onReload;
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  server.run();
  gServer = nullptr;
  return 0;
}
