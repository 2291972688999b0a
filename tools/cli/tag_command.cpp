#include "tag_command.h"

#include "tag_exchange.h"

namespace readerctl {

bool parseTagRequest(const std::vector<std::string> &args, TagRequest &request, std::string &problem) {
  if (args.empty()) {
    problem = "tag needs read, write or watch";
    return false;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args.front() == "read") {
    TagReadRequest read;
    if (!parseTagReadRequest(rest, read, problem)) return false;
    request = std::move(read);
  } else if (args.front() == "write") {
    TagWriteRequest write;
    if (!parseTagWriteRequest(rest, write, problem)) return false;
    request = std::move(write);
  } else if (args.front() == "watch") {
    TagWatchRequest watch;
    if (!parseTagWatchRequest(rest, watch, problem)) return false;
    request = watch;
  } else {
    problem = "tag: unknown command '" + args.front() + "': tag needs read, write or watch";
    return false;
  }
  return true;
}

int runTagRequest(const TagRequest &request, bool simulated, const std::atomic<bool> &stop, std::ostream &out,
                  std::ostream &err) {
  if (const std::optional<std::string> idle = moduleNotAtWork()) {
    err << "readerctl: " << *idle << "\n";
    return 1;
  }
  if (const auto *read = std::get_if<TagReadRequest>(&request)) return runTagReadCommand(*read, out, err);
  if (const auto *write = std::get_if<TagWriteRequest>(&request)) return runTagWriteCommand(*write, out, err);
  return runTagWatchCommand(std::get<TagWatchRequest>(request), simulated, stop, out, err);
}

}  // namespace readerctl
