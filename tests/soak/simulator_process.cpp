#include "soak/simulator_process.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace soak_testing {
namespace {

bool writeAll(int fd, const std::string &text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// One line from `fd` (without its newline), `pending` keeping what came
// after it; false at the end of the stream.
bool readLine(int fd, std::string &pending, std::string &line) {
  for (;;) {
    const std::size_t newline = pending.find('\n');
    if (newline != std::string::npos) {
      line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      return true;
    }
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

// Counts the detections a module answers with a tag, from its traffic as it
// is logged: the answer that follows a detection command and is not the
// module's no-tag answer.
class TagReportCounter {
 public:
  explicit TagReportCounter(int moduleKind) : kind_(moduleKind) {}

  void onRecord(const readersim::TrafficRecord &record) {
    if (record.type == readersim::RecordType::FromHost && record.isFrame()) {
      const std::string text = record.text();
      lastWasDetection_ = kind_ == 5 ? text == "s" : isHexDetection(text);
    } else if (record.isSentAnswer() && lastWasDetection_) {
      lastWasDetection_ = false;
      if (reportsTag(record.text())) ++reported_;
    }
  }
  long reported() const { return reported_; }

 private:
  static bool isHexDetection(const std::string &frame) {
    using readersim::HexModule;
    for (std::string_view detect : {HexModule::kDetectIso14443A, HexModule::kDetectIso14443B, HexModule::kDetectTagIt,
                                    HexModule::kDetectIso15693})
      if (frame.find(detect) != std::string::npos) return true;
    return false;
  }
  bool reportsTag(const std::string &answer) const {
    if (kind_ == 5) {
      std::string line = answer;
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      return !line.empty() && line != "N";
    }
    // A bracket opening on hexadecimal digits holds a tag; "[]", "[,]" (an
    // empty inventory slot) and "[z,]" (a collision) do not.
    for (std::size_t open = answer.find('['); open != std::string::npos; open = answer.find('[', open + 1))
      if (open + 1 < answer.size() && std::isxdigit(static_cast<unsigned char>(answer[open + 1]))) return true;
    return false;
  }

  const int kind_;
  bool lastWasDetection_ = false;  // the device thread alone touches it
  std::atomic<long> reported_{0};
};

[[noreturn]] void serve(int fd, const readersim::TerminalConfig &config) {
  int status = 0;
  try {
    readersim::Terminal terminal(config);
    TagReportCounter tags(config.moduleKind);
    if (terminal.module() != nullptr)
      terminal.module()->log().setListener([&tags](const readersim::TrafficRecord &r) { tags.onRecord(r); });
    std::string hello;
    for (const readersim::EnvironmentEntry &entry : terminal.environment())
      hello += "env " + entry.name + (entry.value ? " " + *entry.value : "") + "\n";
    writeAll(fd, hello + "ready\n");

    std::string pending, line;
    while (readLine(fd, pending, line)) {
      std::string answer = "ok";
      if (line.rfind("barcode ", 0) == 0) {
        if (auto error = terminal.presentBarcode(readersim::barcodeOf(line.substr(8)))) answer = "error " + *error;
      } else if (line.rfind("tag ", 0) == 0) {
        terminal.clearTags();
        if (auto error = terminal.placeTag(readersim::tagOf(line.substr(4)))) answer = "error " + *error;
      } else if (line == "counts") {
        std::ostringstream out;
        const readersim::BarcodeEngine *engine = terminal.barcodeEngine();
        out << (engine ? engine->decodesSent() : 0) << ' ' << (engine ? engine->decodesAcknowledged() : 0) << ' '
            << tags.reported();
        answer = out.str();
        if (terminal.engine() != nullptr) terminal.engine()->log().clear();
        if (terminal.module() != nullptr) terminal.module()->log().clear();
      } else {
        answer = "error unknown request";
      }
      if (!writeAll(fd, answer + "\n")) break;
    }
    if (terminal.module() != nullptr) terminal.module()->log().setListener(nullptr);
  } catch (const std::exception &e) {
    writeAll(fd, std::string("error ") + e.what() + "\n");
    status = 1;
  }
  ::_exit(status);
}

}  // namespace

SimulatorProcess::SimulatorProcess(const readersim::TerminalConfig &config) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw std::runtime_error("socketpair failed");
  std::fflush(stdout);
  child_ = ::fork();
  if (child_ < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw std::runtime_error("fork failed");
  }
  if (child_ == 0) {
    ::close(fds[0]);
    serve(fds[1], config);
  }
  ::close(fds[1]);
  socket_ = fds[0];
  std::string line;
  while (readLine(socket_, pending_, line) && line != "ready") {
    if (line.rfind("env ", 0) != 0) throw std::runtime_error("simulator: " + line);
    const std::string entry = line.substr(4);
    const std::size_t space = entry.find(' ');
    if (space == std::string::npos)
      ::unsetenv(entry.c_str());
    else
      ::setenv(entry.substr(0, space).c_str(), entry.substr(space + 1).c_str(), 1);
  }
  if (line != "ready") throw std::runtime_error("simulator ended before it was ready");
}

SimulatorProcess::~SimulatorProcess() {
  if (socket_ >= 0) ::close(socket_);  // the child's request loop ends with the stream
  if (child_ > 0) {
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

std::string SimulatorProcess::request(const std::string &line) {
  std::string answer;
  if (!writeAll(socket_, line + "\n") || !readLine(socket_, pending_, answer)) return "error simulator gone";
  return answer;
}

bool SimulatorProcess::presentBarcode(const std::string &barcode) { return request("barcode " + barcode) == "ok"; }

bool SimulatorProcess::replaceTag(const std::string &tag) { return request("tag " + tag) == "ok"; }

SentCounts SimulatorProcess::counts() {
  SentCounts counts;
  std::istringstream in(request("counts"));
  in >> counts.decodes >> counts.acknowledged >> counts.tagsReported;
  return counts;
}

}  // namespace soak_testing
