#include "readerd_connection.h"

#include <algorithm>

namespace readerctl {

namespace {

// A line longer than this is no line readerd sends.
constexpr std::size_t kLongestLine = 1 << 20;

}  // namespace

ReaderdConnection::~ReaderdConnection() { closeSocket(); }

bool ReaderdConnection::open(const std::string &path, std::string &error) {
  path_ = path;
  return connectTo(path, error);
}

std::optional<JsonReply> ReaderdConnection::request(std::string_view members, std::string &error,
                                                    std::chrono::milliseconds patience) {
  const unsigned id = nextId_++;
  std::string line = "{";
  line += members;
  line += (members.empty() ? "" : ",") + std::string("\"id\":") + std::to_string(id) + "}\n";
  if (!writeAll(line)) {
    error = "readerd at " + path_ + " closed the connection";
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    while (!answers_.empty()) {
      JsonReply answer = std::move(answers_.front());
      answers_.pop_front();
      const std::optional<double> answered = answer.number("id");
      // An error about a line readerd could not read carries no id; an
      // answer to an earlier request given up on is passed over.
      if ((answered && *answered == id) || (answer.member("id") == nullptr && answer.member("error") != nullptr))
        return answer;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      error = "readerd at " + path_ + " did not answer within " +
              std::to_string(std::chrono::duration_cast<std::chrono::seconds>(patience).count()) + " s";
      return std::nullopt;
    }
    if (!receive(static_cast<int>(std::min<long long>(left.count(), 1000)), error)) return std::nullopt;
  }
}

bool ReaderdConnection::receive(int timeoutMs, std::string &error) {
  char buffer[4096];
  const long count = readSome(buffer, sizeof buffer, timeoutMs);
  if (count < 0) {
    error = "readerd at " + path_ + " closed the connection";
    return false;
  }
  input_.append(buffer, static_cast<std::size_t>(count));
  for (std::size_t end; (end = input_.find('\n')) != std::string::npos;) {
    const std::string line = input_.substr(0, end);
    input_.erase(0, end + 1);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string problem;
    std::optional<JsonReply> object = parseJsonReply(line, problem);
    if (!object || object->kind != JsonReply::Kind::Object) {
      error = "readerd at " + path_ + " sent a line that is no JSON object" + (object ? "" : ": " + problem);
      return false;
    }
    (object->member("event") != nullptr ? events_ : answers_).push_back(std::move(*object));
  }
  if (input_.size() > kLongestLine) {
    error = "readerd at " + path_ + " sent a line too long to be one of its objects";
    return false;
  }
  return true;
}

std::optional<JsonReply> ReaderdConnection::takeEvent() {
  if (events_.empty()) return std::nullopt;
  JsonReply event = std::move(events_.front());
  events_.pop_front();
  return event;
}

}  // namespace readerctl
