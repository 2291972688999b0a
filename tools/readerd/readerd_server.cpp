#include "readerd_server.h"

#include <3100XE_DLL.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <exception>

#include "decode_type_names.h"
#include "hex_bytes.h"
#include "json_writer.h"
#include "reader_commands.h"
#include "reply_lines.h"
#include "tag_type_names.h"
#include "unix_listener.h"
#include "whole_result.h"

#ifndef READER_TOOLS_VERSION
#  define READER_TOOLS_VERSION "unknown"
#endif

namespace readerd {

namespace {

// The library's message queue has no descriptor to poll, so the loop waits
// in slices: on the sockets without waiting, then on the messages for up to
// this long. Announcements are handed on at once; a request waits at most
// one slice.
constexpr int kDispatchSliceMs = 10;

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

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
  }
}

Server::~Server() {
  clients_.clear();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(options_.socketPath.c_str());
  }
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool Server::listen(std::string &error) {
  if (wakeRead_ < 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  listenFd_ = listenUnix(options_.socketPath, options_.socketMode, error);
  return listenFd_ >= 0;
}

void Server::stop() {
  stopping_.store(true);
  if (wakeWrite_ >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
  }
}

void Server::startReader() {
  startResult_ = InitReader();
  textEngine_ = (GetReaderType() & READER_TYPE_TEXT_ENGINE) != 0;
  SetTriggerKey(1);
}

void Server::run() {
  started_ = std::chrono::steady_clock::now();
  if (options_.startReader) startReader();
  ReaderHostSetBroadcastListener(&Server::onBroadcast, this);

  std::vector<pollfd> fds;
  std::vector<ClientConnection::Request> requests;
  while (!stopping_.load()) {
    fds.clear();
    fds.push_back({wakeRead_, POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto &client : clients_)
      fds.push_back({client->fd(), static_cast<short>(POLLIN | (client->wantsWrite() ? POLLOUT : 0)), 0});
    const int ready = ::poll(fds.data(), fds.size(), 0);
    ReaderHostDispatch(ready > 0 ? 0 : kDispatchSliceMs);
    if (ready > 0) {
      if (fds[0].revents != 0) {
        char drain[64];
        while (::read(wakeRead_, drain, sizeof drain) > 0) {
        }
      }
      // Clients accepted now are polled from the next round on.
      const std::size_t polled = clients_.size();
      if (fds[1].revents & POLLIN) acceptClients();
      for (std::size_t i = 0; i < polled; ++i) {
        ClientConnection &client = *clients_[i];
        const short events = fds[i + 2].revents;
        if (events & (POLLIN | POLLHUP | POLLERR)) {
          requests.clear();
          client.receive(requests);
          for (const auto &request : requests) handle(client, request);
        }
      }
    }
    std::deque<Announcement> announcements;
    {
      std::lock_guard lock(pendingMutex_);
      announcements.swap(pending_);
    }
    for (const Announcement &announcement : announcements) publish(announcement);
    for (const auto &client : clients_)
      if (client->wantsWrite()) client->flush();
    std::erase_if(clients_, [](const auto &client) { return !client->open(); });
  }

  ReaderHostSetBroadcastListener(nullptr, nullptr);
  if (options_.startReader) HaltReader(READER_DEVICE_ALL);
  clients_.clear();
}

void Server::acceptClients() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      // EMFILE and the like: the connection stays in the backlog for a
      // later round rather than ending the service.
      return;
    }
    clients_.push_back(std::make_unique<ClientConnection>(fd, options_.queueLimit));
    ++connectionCount_;
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

void Server::command(ClientConnection &client, const JsonObject &request) {
  const std::optional<std::string> cmd = request.string("cmd");
  if (!cmd) {
    client.send(errorLine(&request, "missing_command", "the object names no \"cmd\" string"));
    return;
  }
  if (*cmd == "version") {
    char library[64] = {};
    GetDllVer(library, sizeof library);
    client.send(
        replyTo(&request, *cmd).field("readerd", READER_TOOLS_VERSION).field("library", library).line());
  } else if (*cmd == "subscribe") {
    const std::string what = request.string("what").value_or("all");
    if (what != "barcodes" && what != "tags" && what != "all" && what != "none") {
      client.send(errorLine(&request, "bad_argument", "\"what\" is one of barcodes, tags, all or none"));
      return;
    }
    client.barcodes = what == "barcodes" || what == "all";
    client.tags = what == "tags" || what == "all";
    client.send(replyTo(&request, *cmd).field("barcodes", client.barcodes).field("tags", client.tags).line());
  } else if (*cmd == "trigger") {
    const double key = request.find("key") != nullptr ? request.number("key").value_or(0) : 1;
    const std::optional<bool> pressed = request.boolean("pressed");
    if ((key != 1 && key != 2) || !pressed) {
      client.send(errorLine(&request, "bad_argument", "\"key\" is 1 or 2 and \"pressed\" true or false"));
      return;
    }
    ReaderHostTriggerKey(static_cast<int>(key), *pressed ? 1 : 0);
    client.send(replyTo(&request, *cmd).field("key", static_cast<int>(key)).field("pressed", *pressed).line());
  } else if (*cmd == "status") {
    client.send(statusLine(request));
  } else if (const ReaderCommand *readerCommand = findReaderCommand(*cmd)) {
    client.send(readerCommand->run(request, ReaderStart{"InitReader", startResult_, {}}));
  } else {
    client.send(errorLine(&request, "unknown_command", "no command \"" + *cmd + "\""));
  }
}

std::string Server::statusLine(const JsonObject &request) const {
  const auto uptime = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const bool running =
      options_.startReader && (startResult_ == READER_OK || startResult_ == READER_ERR_BARCODE_FAILED ||
                               startResult_ == READER_ERR_RFID_FAILED);
  return replyTo(&request, "status")
      .field("reader", running ? "running" : "stopped")
      .field("start_result", startResult_)
      .field("reader_type", GetReaderType())
      .field("active_devices", GetActiveDevice())
      .field("com1_speed", ReaderHostGetLinkSpeed(1))
      .field("com2_speed", ReaderHostGetLinkSpeed(2))
      .field("uptime", std::round(uptime * 1000) / 1000)
      .field("clients", static_cast<std::int64_t>(clients_.size()))
      .field("connections", static_cast<std::int64_t>(connectionCount_))
      .field("barcodes", static_cast<std::int64_t>(barcodeCount_))
      .field("tags", static_cast<std::int64_t>(tagCount_))
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

void Server::onBroadcast(const char *message, long wParam, long, void *context) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0) return;
  if (wParam != READER_DEVICE_BARCODE && wParam != READER_DEVICE_RFID) return;
  auto *self = static_cast<Server *>(context);
  // Read now: the next decode replaces what the queries return.
  try {
    Announcement announcement;
    announcement.time = std::chrono::system_clock::now();
    announcement.tag = wParam == READER_DEVICE_RFID;
    if (announcement.tag) {
      announcement.type = GetDecodeTagType();
      if (const char *name = readerctl::tagFamilyName(announcement.type)) announcement.typeName = name;
      announcement.uid = readerctl::readWhole([](char *buffer, int size) { return GetDecodeRfidUID(buffer, size); });
      announcement.data = readerctl::readWhole([](char *buffer, int size) { return GetDecodeRfidData(buffer, size); });
    } else {
      announcement.type = GetDecodeType();
      if (const char *name = readerctl::decodeTypeName(announcement.type, self->textEngine_))
        announcement.typeName = name;
      announcement.data = readerctl::readWhole([](char *buffer, int size) { return GetDecodeData(buffer, size); });
    }
    announcement.record = readerctl::readWhole(
        [wParam](char *buffer, int size) { return GetOutputRecord(static_cast<int>(wParam), buffer, size); });
    std::lock_guard lock(self->pendingMutex_);
    self->pending_.push_back(std::move(announcement));
  } catch (const std::exception &) {
    // Out of memory: this announcement is lost; nothing may unwind into the library.
  }
}

}  // namespace readerd
