// readerd running in the test's process: its loop on a thread of its own
// (which starts the reader and owns the library's window), its socket in a
// fresh directory, both gone at the end. Clients may connect at once: until
// the reader has started and the loop serves, they wait in the backlog, as
// a real client would.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "readerd/socket_client.h"
#include "readerd_server.h"
#include "support/test_terminal.h"

namespace readerd_testing {

class ServedReader {
 public:
  explicit ServedReader(readerd::ServerOptions options = {}) {
    char directory[] = "/tmp/readerd-test-XXXXXX";
    if (::mkdtemp(directory) != nullptr) directory_ = directory;
    if (options.socketPath.empty()) options.socketPath = directory_ + "/readerd.sock";
    path_ = options.socketPath;
    server_ = std::make_unique<readerd::Server>(options);
    listening_ = server_->listen(error_);
    if (!listening_) return;
    thread_ = std::thread([this] { server_->run(); });
  }
  ~ServedReader() {
    if (thread_.joinable()) {
      server_->stop();
      thread_.join();
    }
    server_.reset();
    if (!directory_.empty()) ::rmdir(directory_.c_str());
  }
  ServedReader(const ServedReader &) = delete;
  ServedReader &operator=(const ServedReader &) = delete;

  bool listening() const { return listening_; }
  const std::string &error() const { return error_; }
  const std::string &path() const { return path_; }
  const std::string &directory() const { return directory_; }
  readerd::Server &server() { return *server_; }

 private:
  std::string directory_;
  std::string path_;
  std::string error_;
  bool listening_ = false;
  std::unique_ptr<readerd::Server> server_;
  std::thread thread_;
};

// A service that starts no reader: for what the protocol does alone.
inline readerd::ServerOptions withoutReader() {
  readerd::ServerOptions options;
  options.startReader = false;
  return options;
}

// A simulated text engine that the trigger drives (it leaves the factory
// triggering itself), without a module; `stablePorts` lets it be plugged in
// again after it vanished.
inline readersim::TerminalConfig keyTriggeredTextEngine(bool stablePorts = false) {
  constexpr std::size_t kTriggerModeByte = 20;  // its upper four bits
  readersim::TerminalConfig config = testing_support::quickConfig(2, 0);
  config.textEngine.block[kTriggerModeByte] &= 0x0F;
  config.stablePorts = stablePorts;
  return config;
}

// Tests of a service in front of a key-triggered simulated text engine.
template <bool kStablePorts = false>
class TextEngineServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::clearReaderEnvironment();
    terminal_ = testing_support::startTerminal(keyTriggeredTextEngine(kStablePorts));
  }
  void TearDown() override { testing_support::clearReaderEnvironment(); }

  std::unique_ptr<readersim::Terminal> terminal_;
};

// Subscribes `client` to `what` and, when the reader is not running yet,
// reads on until the event that says it is. False when that never comes.
inline bool subscribeWhenRunning(SocketClient &client, const std::string &what = "all") {
  const readerd::JsonObject reply = client.request(R"({"cmd":"subscribe","what":")" + what + "\"}");
  if (reply.string("reply") != "subscribe") return false;
  if (reply.string("reader") == "running") return true;
  for (;;) {
    const readerd::JsonObject event = client.read();
    if (event.fields.empty()) return false;
    if (event.string("event") == "reader" && event.string("state") == "running") return true;
  }
}

// The next announcement, passing over replies and the reader's changes of
// state; an empty object when none comes.
inline readerd::JsonObject nextAnnouncement(SocketClient &client) {
  for (;;) {
    readerd::JsonObject object = client.read();
    if (object.fields.empty()) return object;
    const std::optional<std::string> event = object.string("event");
    if (event && *event != "reader") return object;
  }
}

}  // namespace readerd_testing
