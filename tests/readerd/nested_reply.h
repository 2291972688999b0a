// Replies that nest objects ("fields", "start"), read as readerctl reads
// them: the request parser takes flat objects only.
#pragma once

#include <string>
#include <string_view>

#include "json_reply.h"
#include "readerd/socket_client.h"

namespace readerd_testing {

// Sends one request and returns the object that answers it; an empty
// object when none comes or it does not parse.
inline readerctl::JsonReply nestedReply(SocketClient &client, std::string_view request) {
  if (!client.write(std::string(request) + "\n")) return {};
  const std::optional<std::string> line = client.readLine();
  if (!line) return {};
  std::string error;
  return readerctl::parseJsonReply(*line, error).value_or(readerctl::JsonReply{});
}

// A member of an object member, as text: a string's bytes or a number as
// written; "" when absent.
inline std::string memberText(const readerctl::JsonReply &reply, std::string_view object, std::string_view name) {
  const readerctl::JsonReply *outer = reply.member(object);
  const readerctl::JsonReply *inner = outer != nullptr ? outer->member(name) : nullptr;
  return inner != nullptr ? inner->text : "";
}

}  // namespace readerd_testing
