// readerctl's commands run through a readerd that owns the reader, instead
// of starting it: each command becomes readerd's requests, and what comes
// back is printed exactly as readerctl prints its own results, with the same
// exit statuses.
#pragma once

#include <atomic>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "json_reply.h"
#include "readerd_connection.h"

namespace readerctl {

struct Invocation;

class ReaderdSession {
 public:
  ReaderdSession(std::string path, std::ostream &err) : path_(std::move(path)), err_(err) {}

  // Connects; false, with the reason on the error stream, when readerd is
  // not there.
  bool open();

  // One request ("\"cmd\":\"info\",..."): the reply, or nullopt when the
  // connection failed or readerd answered with an error. The error object
  // is kept (error()); a failed connection is said on the error stream.
  std::optional<JsonReply> call(std::string_view members);

  // The error object of the last call; nullopt after a failed connection.
  const std::optional<JsonReply> &error() const { return error_; }
  std::string errorCode() const;
  std::string errorMessage() const;
  // The last error as readerctl says an error of readerd it has no words of
  // its own for: "readerctl: readerd answered CODE: MESSAGE". Returns 1.
  int reportError() const;

  ReaderdConnection &connection() { return connection_; }

 private:
  std::string path_;
  std::ostream &err_;
  ReaderdConnection connection_;
  std::optional<JsonReply> error_;
};

// Runs the command through readerd at `path`. Returns the exit status.
int runThroughReaderd(const Invocation &invocation, const std::string &path, std::ostream &out, std::ostream &err,
                      const std::atomic<bool> &stop);

}  // namespace readerctl
