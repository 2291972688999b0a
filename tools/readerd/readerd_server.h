// The service's socket thread: serves the clients of the Unix socket (and
// of the optional read-only TCP port) with a poll() loop that sleeps until
// a client, a listener or one of the service's own threads has something.
// The reader runs on a thread of its own (ReaderRunner), the commands that
// talk to the devices on another (CommandWorker): neither ever holds up the
// clients. Announcements are handed to every subscriber with the client's
// own sequence number, so a gap in a client's numbers is exactly what it
// missed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client_connection.h"
#include "command_worker.h"
#include "json_line.h"
#include "reader_runner.h"
#include "service_config.h"

namespace readerd {

struct ServerOptions {
  std::string socketPath;
  unsigned socketMode = 0660;
  std::string socketGroup;     // empty: the service's own
  std::string controlGroup;    // empty: every local client may change the reader
  std::optional<int> tcpPort;  // nullopt: no TCP listener; 0: a port the system picks
  std::size_t queueLimit = ClientConnection::kQueueLimit;
  // A client that stays behind this long (missing objects, reading none)
  // is dropped.
  std::chrono::milliseconds stallLimit{10000};
  bool startReader = true;
  std::chrono::milliseconds firstRetryDelay{1000};
  std::chrono::milliseconds maxRetryDelay{30000};
  std::map<std::string, std::string> readerEnvironment;
  // The configuration file that reload() reads again; empty: none.
  std::string configPath;
  // Take the listening sockets from the service manager when it passed any.
  bool socketActivation = false;

  // The options a configuration gives (the socket path defaulted).
  static ServerOptions from(const ServiceConfig &config);
};

class Server {
 public:
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  // Opens the listeners (or takes them from the service manager). False
  // with `error` set when it cannot.
  bool listen(std::string &error);

  // Starts the reader and serves until stop(); halts the reader and closes
  // every connection before returning.
  void run();

  // Any thread, and from a signal handler: ends run() soon.
  void stop();
  // Any thread, and from a signal handler: reads the configuration file
  // again (SIGHUP).
  void reload();

  // The TCP listener's port; 0 without one.
  int tcpPort() const { return tcpPort_.load(); }

 private:
  void wake();
  void acceptClients(int listenFd, bool remote);
  void handle(ClientConnection &client, const ClientConnection::Request &request);
  void command(ClientConnection &client, const JsonObject &request);
  bool permitted(ClientConnection &client, const JsonObject &request, CommandAccess access);
  void publish(const Announcement &announcement);
  void tell(const ReaderChange &change);
  std::string statusLine(const JsonObject &request) const;
  void applyReload();
  void openTcp(std::optional<int> port);
  void dropStalledClients(std::chrono::steady_clock::time_point now);
  ClientConnection *clientWithId(std::uint64_t id);

  ServerOptions options_;
  int listenFd_ = -1;
  int tcpFd_ = -1;
  bool ownSocketFile_ = false;  // created here (not passed in): removed at the end
  std::atomic<int> tcpPort_{0};
  int spareFd_ = -1;  // given up to take a connection when out of descriptors
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> reloading_{false};
  std::vector<std::unique_ptr<ClientConnection>> clients_;
  std::uint64_t nextClientId_ = 1;

  std::chrono::steady_clock::time_point started_;
  std::uint64_t barcodeCount_ = 0;
  std::uint64_t tagCount_ = 0;
  std::uint64_t connectionCount_ = 0;
  std::uint64_t droppedCount_ = 0;
  std::uint64_t refusedCount_ = 0;  // connections closed for want of descriptors

  std::unique_ptr<ReaderRunner> reader_;
  std::unique_ptr<CommandWorker> worker_;
};

}  // namespace readerd
