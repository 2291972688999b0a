// A blocking client of readerd's socket, one JSON object per line both ways:
// a request waits for its answer (paired by the "id" readerctl gives it),
// and the announcements that come meanwhile are kept for the caller.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "json_reply.h"

namespace readerctl {

class ReaderdConnection {
 public:
  ReaderdConnection() = default;
  ~ReaderdConnection();
  ReaderdConnection(const ReaderdConnection &) = delete;
  ReaderdConnection &operator=(const ReaderdConnection &) = delete;

  // Connects to the socket at `path`. False with a one-line reason in `error`
  // ("cannot reach readerd at PATH: Connection refused").
  bool open(const std::string &path, std::string &error);

  // Sends the request `members` (a JSON object's members, without braces:
  // "\"cmd\":\"info\"") and returns the reply or error object that answers
  // it. nullopt, with a one-line reason in `error`, when readerd ends the
  // connection, sends what is not JSON, or does not answer within `patience`.
  std::optional<JsonReply> request(std::string_view members, std::string &error, std::chrono::milliseconds patience);

  // Reads what readerd sends for up to `timeoutMs`, keeping the
  // announcements. False, with `error`, when the connection is gone.
  bool receive(int timeoutMs, std::string &error);

  // The oldest announcement ({"event": ...}) not yet taken.
  std::optional<JsonReply> takeEvent();

 private:
  // The socket itself (readerd_connection_posix.cpp; Windows has none).
  bool connectTo(const std::string &path, std::string &error);
  bool writeAll(std::string_view bytes);
  // Bytes read (> 0), 0 when none came within `timeoutMs`, -1 at the end of
  // the connection or on an error.
  long readSome(char *buffer, std::size_t size, int timeoutMs);
  void closeSocket();

  long long socket_ = -1;
  std::string path_;
  std::string input_;
  std::deque<JsonReply> events_;   // announcements not yet taken
  std::deque<JsonReply> answers_;  // replies and errors not yet paired
  unsigned nextId_ = 1;
};

}  // namespace readerctl
