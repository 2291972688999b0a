#include "readerd_server.h"

#include <3100XE_DLL.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "hex_bytes.h"
#include "json_writer.h"
#include "reader_commands.h"
#include "reply_lines.h"
#include "socket_activation.h"
#include "tcp_listener.h"
#include "unix_listener.h"

#ifndef READER_TOOLS_VERSION
#  define READER_TOOLS_VERSION "unknown"
#endif

namespace readerd {

namespace {

std::string isoTime(std::chrono::system_clock::time_point time) {
  const auto since = time.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
  const std::time_t whole = static_cast<std::time_t>(seconds.count());
  std::tm parts{};
  gmtime_r(&whole, &parts);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(millis));
  return text;
}

void complain(const std::string &text) { std::fprintf(stderr, "readerd: %s\n", text.c_str()); }

}  // namespace

ServerOptions ServerOptions::from(const ServiceConfig &config) {
  ServerOptions options;
  options.socketPath = config.socketPath.empty() ? defaultSocketPath() : config.socketPath;
  options.socketMode = config.socketMode;
  options.socketGroup = config.socketGroup;
  options.controlGroup = config.controlGroup;
  if (config.tcpPort > 0) options.tcpPort = config.tcpPort;
  options.queueLimit = config.queueLimit;
  options.maxRetryDelay = std::chrono::seconds(config.restartMaxDelaySeconds);
  options.readerEnvironment = config.readerEnvironment;
  return options;
}

Server::Server(ServerOptions options) : options_(std::move(options)) {
  spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
  }
}

Server::~Server() {
  worker_.reset();
  reader_.reset();
  clients_.clear();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    if (ownSocketFile_) ::unlink(options_.socketPath.c_str());
  }
  if (tcpFd_ >= 0) ::close(tcpFd_);
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
  if (spareFd_ >= 0) ::close(spareFd_);
}

bool Server::listen(std::string &error) {
  if (wakeRead_ < 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  if (options_.socketActivation) {
    ActivatedSockets passed = takeActivatedSockets();
    for (int fd : passed.others) ::close(fd);
    listenFd_ = passed.unixFd;
    tcpFd_ = passed.tcpFd;
    if (tcpFd_ >= 0) tcpPort_ = boundTcpPort(tcpFd_);
  }
  if (listenFd_ < 0) {
    std::optional<unsigned> group;
    if (!options_.socketGroup.empty()) {
      const std::optional<gid_t> gid = groupNamed(options_.socketGroup);
      if (!gid) {
        error = "no group named " + options_.socketGroup + " (SOCKET_GROUP)";
        return false;
      }
      group = *gid;
    }
    listenFd_ = listenUnix(options_.socketPath, options_.socketMode, group, error);
    if (listenFd_ < 0) return false;
    ownSocketFile_ = true;
  }
  if (tcpFd_ < 0 && options_.tcpPort) {
    tcpFd_ = listenTcpLoopback(*options_.tcpPort, error);
    if (tcpFd_ < 0) return false;
    tcpPort_ = boundTcpPort(tcpFd_);
  }
  return true;
}

void Server::wake() {
  if (wakeWrite_ >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
  }
}

void Server::stop() {
  stopping_.store(true);
  wake();
}

void Server::reload() {
  reloading_.store(true);
  wake();
}

void Server::run() {
  started_ = std::chrono::steady_clock::now();
  reader_ = std::make_unique<ReaderRunner>([this] { wake(); });
  worker_ = std::make_unique<CommandWorker>(*reader_, [this] { wake(); });
  ReaderRunner::Options readerOptions;
  readerOptions.startReader = options_.startReader;
  readerOptions.firstRetryDelay = options_.firstRetryDelay;
  readerOptions.maxRetryDelay = options_.maxRetryDelay;
  readerOptions.environment = options_.readerEnvironment;
  reader_->start(readerOptions);

  std::vector<pollfd> fds;
  std::vector<ClientConnection::Request> requests;
  while (!stopping_.load()) {
    fds.clear();
    fds.push_back({wakeRead_, POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    fds.push_back({tcpFd_, POLLIN, 0});  // a negative descriptor is passed over
    bool anyBehind = false;
    for (const auto &client : clients_) {
      // Once its input has ended, only the hang-up (always reported) and
      // room for its answers matter.
      const short wanted = (client->inputEnded() ? 0 : POLLIN) | (client->wantsWrite() ? POLLOUT : 0);
      fds.push_back({client->fd(), wanted, 0});
      anyBehind = anyBehind || client->behindSince().has_value();
    }
    // Idle, the loop sleeps until something happens; only while a client
    // is behind does it look at the clock, to drop one that stays behind.
    const int ready = ::poll(fds.data(), fds.size(), anyBehind ? 1000 : -1);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && fds[0].revents != 0) {
      char drain[256];
      while (::read(wakeRead_, drain, sizeof drain) > 0) {
      }
    }
    if (reloading_.exchange(false)) applyReload();
    // Clients accepted now are polled from the next round on.
    const std::size_t polled = clients_.size();
    if (ready > 0) {
      if (fds[1].revents & POLLIN) acceptClients(listenFd_, false);
      if (tcpFd_ >= 0 && (fds[2].revents & POLLIN)) acceptClients(tcpFd_, true);
      for (std::size_t i = 0; i < polled; ++i) {
        ClientConnection &client = *clients_[i];
        const short events = fds[i + 3].revents;
        if ((events & (POLLIN | POLLHUP | POLLERR)) && !client.inputEnded()) {
          requests.clear();
          client.receive(requests);
          for (const auto &request : requests) handle(client, request);
        }
        // Gone altogether (not just done writing): nobody reads the answers.
        if ((events & (POLLHUP | POLLERR)) && client.inputEnded()) client.close();
      }
    }
    for (const ReaderChange &change : reader_->takeChanges()) tell(change);
    for (const Announcement &announcement : reader_->takeAnnouncements()) publish(announcement);
    for (CommandWorker::Answer &answer : worker_->takeAnswers()) {
      if (ClientConnection *client = clientWithId(answer.client)) {
        --client->commandsPending;
        client->send(std::move(answer.line));
      }
    }
    for (const auto &client : clients_) {
      if (client->wantsWrite()) client->flush();
      // A client that said all it had to say (a shut-down write side, as
      // `echo ... | socat` does) and subscribed to nothing is closed once
      // every answer is out.
      if (client->open() && client->inputEnded() && !client->wantsWrite() && client->commandsPending == 0 &&
          !client->barcodes && !client->tags)
        client->close();
    }
    dropStalledClients(std::chrono::steady_clock::now());
    std::erase_if(clients_, [](const auto &client) { return !client->open(); });
  }

  worker_->stop();
  reader_->stop();
  clients_.clear();
}

ClientConnection *Server::clientWithId(std::uint64_t id) {
  for (const auto &client : clients_)
    if (client->id == id && client->open()) return client.get();
  return nullptr;
}

void Server::acceptClients(int listenFd, bool remote) {
  for (;;) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if ((errno == EMFILE || errno == ENFILE) && spareFd_ >= 0) {
        // Out of descriptors: a connection left in the backlog would wake
        // poll() at once, forever. The spare descriptor makes room to take
        // it and close it, so the client learns at once and the loop sleeps.
        ::close(spareFd_);
        // (accept() fails so before it looks at the backlog: it may be empty.)
        const int refused = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (refused >= 0) ::close(refused);
        spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (refused < 0) return;
        ++refusedCount_;
        continue;
      }
      return;  // EAGAIN: no more waiting; anything else: tried again next round
    }
    auto client = std::make_unique<ClientConnection>(fd, options_.queueLimit);
    client->id = nextClientId_++;
    client->remote = remote;
    if (!remote) client->peer = peerOf(fd);
    clients_.push_back(std::move(client));
    ++connectionCount_;
  }
}

void Server::dropStalledClients(std::chrono::steady_clock::time_point now) {
  for (const auto &client : clients_) {
    const auto since = client->behindSince();
    if (since && now - *since >= options_.stallLimit) {
      client->close();
      ++droppedCount_;
    }
  }
}

void Server::handle(ClientConnection &client, const ClientConnection::Request &request) {
  if (request.oversized) {
    client.send(errorLine(nullptr, "line_too_long",
                          "a request line may hold at most " + std::to_string(ClientConnection::kLineLimit) +
                              " bytes; the line was skipped"));
    return;
  }
  std::string_view line = request.line;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line.find_first_not_of(" \t") == std::string_view::npos) return;  // blank lines are allowed
  const JsonLineParse parse = parseJsonLine(line);
  if (!parse.object) {
    client.send(errorLine(nullptr, "malformed", parse.error));
    return;
  }
  command(client, *parse.object);
}

bool Server::permitted(ClientConnection &client, const JsonObject &request, CommandAccess access) {
  if (access == CommandAccess::Query) return true;
  if (client.remote) {
    client.send(errorLine(&request, "read_only", "clients on the TCP port may only query and subscribe"));
    return false;
  }
  if (access == CommandAccess::Action || options_.controlGroup.empty()) return true;
  const std::optional<gid_t> group = groupNamed(options_.controlGroup);
  const bool allowed = client.peer && (client.peer->uid == 0 || client.peer->uid == ::geteuid() ||
                                       (group && peerInGroup(*client.peer, *group)));
  if (!allowed)
    client.send(errorLine(&request, "not_permitted",
                          "only members of the group " + options_.controlGroup + " may change the reader"));
  return allowed;
}

void Server::command(ClientConnection &client, const JsonObject &request) {
  const std::optional<std::string> cmd = request.string("cmd");
  if (!cmd) {
    client.send(errorLine(&request, "missing_command", "the object names no \"cmd\" string"));
    return;
  }
  if (*cmd == "version") {
    char library[64] = {};
    GetDllVer(library, sizeof library);
    client.send(replyTo(&request, *cmd).field("readerd", READER_TOOLS_VERSION).field("library", library).line());
  } else if (*cmd == "subscribe") {
    const std::string what = request.string("what").value_or("all");
    if (what != "barcodes" && what != "tags" && what != "all" && what != "none") {
      client.send(errorLine(&request, "bad_argument", "\"what\" is one of barcodes, tags, all or none"));
      return;
    }
    client.barcodes = what == "barcodes" || what == "all";
    client.tags = what == "tags" || what == "all";
    // The reader's state comes with it: a client that subscribed while the
    // reader starts waits for the "running" event before it presses.
    client.send(replyTo(&request, *cmd)
                    .field("barcodes", client.barcodes)
                    .field("tags", client.tags)
                    .field("reader", readerStateName(reader_->status().state))
                    .line());
  } else if (*cmd == "trigger") {
    if (!permitted(client, request, CommandAccess::Action)) return;
    const double key = request.find("key") != nullptr ? request.number("key").value_or(0) : 1;
    const std::optional<bool> pressed = request.boolean("pressed");
    if ((key != 1 && key != 2) || !pressed) {
      client.send(errorLine(&request, "bad_argument", "\"key\" is 1 or 2 and \"pressed\" true or false"));
      return;
    }
    if (!reader_->running()) {
      client.send(
          errorLine(&request, "not_running", std::string("the reader is ") + readerStateName(reader_->status().state)));
      return;
    }
    ReaderHostTriggerKey(static_cast<int>(key), *pressed ? 1 : 0);
    client.send(replyTo(&request, *cmd).field("key", static_cast<int>(key)).field("pressed", *pressed).line());
  } else if (*cmd == "status") {
    client.send(statusLine(request));
  } else if (const ReaderCommand *readerCommand = findReaderCommand(*cmd)) {
    if (!permitted(client, request, readerCommand->access)) return;
    // While the reader starts, even the quick ones wait for it on the
    // command thread: what they report would be half a start.
    if (!readerCommand->blocks && reader_->status().state != ReaderState::Starting) {
      client.send(readerCommand->run(request, reader_->status().start));
    } else if (worker_->submit(client.id, *readerCommand, request)) {
      ++client.commandsPending;
    } else {
      client.send(errorLine(&request, "busy", "too many commands are waiting for the reader; try again later"));
    }
  } else {
    client.send(errorLine(&request, "unknown_command", "no command \"" + *cmd + "\""));
  }
}

std::string Server::statusLine(const JsonObject &request) const {
  const ReaderStatus reader = reader_->status();
  const auto uptime = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  JsonWriter writer = replyTo(&request, "status");
  writer.field("reader", readerStateName(reader.state))
      .field("start_result", reader.start.result)
      .field("reader_type", GetReaderType())
      .field("active_devices", GetActiveDevice())
      .field("com1_speed", ReaderHostGetLinkSpeed(1))
      .field("com2_speed", ReaderHostGetLinkSpeed(2))
      .field("uptime", std::round(uptime * 1000) / 1000)
      .field("restarts", static_cast<std::int64_t>(reader.restarts));
  if (reader.state == ReaderState::Restarting) writer.field("retry_in", std::round(reader.retryIn * 1000) / 1000);
  if (!reader.lastPortError.empty()) writer.field("last_port_error", reader.lastPortError);
  return writer.field("clients", static_cast<std::int64_t>(clients_.size()))
      .field("connections", static_cast<std::int64_t>(connectionCount_))
      .field("dropped", static_cast<std::int64_t>(droppedCount_))
      .field("refused", static_cast<std::int64_t>(refusedCount_))
      .field("barcodes", static_cast<std::int64_t>(barcodeCount_))
      .field("tags", static_cast<std::int64_t>(tagCount_))
      .field("tcp_port", tcpPort_.load())
      .line();
}

void Server::publish(const Announcement &announcement) {
  ++(announcement.tag ? tagCount_ : barcodeCount_);
  for (const auto &client : clients_) {
    if (!client->open() || !(announcement.tag ? client->tags : client->barcodes)) continue;
    JsonWriter writer;
    writer.field("event", announcement.tag ? "tag" : "barcode")
        .field("seq", static_cast<std::int64_t>(++client->seq))
        .field("device", announcement.tag ? READER_DEVICE_RFID : READER_DEVICE_BARCODE)
        .field("type", announcement.type)
        .field("type_name", announcement.typeName);
    if (announcement.tag) {
      writer.field("uid", announcement.uid).field("data_hex", readerctl::hexText(announcement.data));
    } else {
      writer.field("data", announcement.data);
    }
    writer.field("record", announcement.record).field("time", isoTime(announcement.time));
    client->send(writer.line());
  }
}

void Server::tell(const ReaderChange &change) {
  JsonWriter writer;
  writer.field("event", "reader").field("state", readerStateName(change.state));
  if (!change.reason.empty()) writer.field("reason", change.reason);
  const std::string line = writer.line();
  for (const auto &client : clients_)
    if (client->open() && (client->barcodes || client->tags)) client->send(line);
}

void Server::openTcp(std::optional<int> port) {
  if (tcpFd_ >= 0) ::close(tcpFd_);
  tcpFd_ = -1;
  tcpPort_ = 0;
  if (!port) return;
  std::string error;
  tcpFd_ = listenTcpLoopback(*port, error);
  if (tcpFd_ < 0) {
    complain(error);
    return;
  }
  tcpPort_ = boundTcpPort(tcpFd_);
}

void Server::applyReload() {
  if (options_.configPath.empty()) return;
  const ServiceConfigLoad load = loadServiceConfig(options_.configPath);
  for (const std::string &problem : load.problems) complain(problem);
  const ServerOptions next = ServerOptions::from(load.config);
  if (next.socketPath != options_.socketPath || next.socketMode != options_.socketMode ||
      next.socketGroup != options_.socketGroup)
    complain("the socket's path, mode and group take effect when readerd starts again");
  options_.controlGroup = next.controlGroup;
  if (next.queueLimit != options_.queueLimit) {
    options_.queueLimit = next.queueLimit;
    for (const auto &client : clients_) client->setQueueLimit(next.queueLimit);
  }
  if (next.tcpPort != options_.tcpPort) {
    options_.tcpPort = next.tcpPort;
    openTcp(next.tcpPort);
  }
  options_.maxRetryDelay = next.maxRetryDelay;
  reader_->setMaxRetryDelay(next.maxRetryDelay);
  if (next.readerEnvironment != options_.readerEnvironment) {
    options_.readerEnvironment = next.readerEnvironment;
    complain("the reader's settings changed: restarting the reader");
    reader_->restartWith(next.readerEnvironment);
  }
}

}  // namespace readerd
