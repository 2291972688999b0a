// The service: one thread that starts the reader, owns the library's hidden
// window (it dispatches its messages), and serves the clients of the Unix
// socket with a poll() loop. Announcements are read the moment the library
// makes them and handed to every subscriber with the client's own sequence
// number, so a gap in a client's numbers is exactly what it missed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "client_connection.h"
#include "json_line.h"

namespace readerd {

struct ServerOptions {
  std::string socketPath;
  unsigned socketMode = 0660;
  std::size_t queueLimit = ClientConnection::kQueueLimit;
  // Start the reader (InitReader) when run() begins.
  bool startReader = true;
};

class Server {
 public:
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  // Creates the socket. False with `error` set when it cannot.
  bool listen(std::string &error);

  // Starts the reader on the calling thread and serves until stop(); halts
  // the reader and closes every connection before returning.
  void run();

  // Any thread, and from a signal handler: ends run() soon.
  void stop();

 private:
  struct Announcement {
    bool tag = false;
    std::string typeName;
    int type = 0;
    std::string data;
    std::string uid;
    std::string record;
    std::chrono::system_clock::time_point time;
  };

  static void onBroadcast(const char *message, long wParam, long lParam, void *context);
  void startReader();
  void acceptClients();
  void handle(ClientConnection &client, const ClientConnection::Request &request);
  void command(ClientConnection &client, const JsonObject &request);
  void publish(const Announcement &announcement);
  std::string statusLine(const JsonObject &request) const;

  ServerOptions options_;
  int listenFd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<ClientConnection>> clients_;

  int startResult_ = 0;
  bool textEngine_ = false;
  std::chrono::steady_clock::time_point started_;
  std::uint64_t barcodeCount_ = 0;
  std::uint64_t tagCount_ = 0;
  std::uint64_t connectionCount_ = 0;

  std::mutex pendingMutex_;  // the broadcast listener may run on a library thread
  std::deque<Announcement> pending_;
};

}  // namespace readerd
