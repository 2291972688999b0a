// readerd_bench: what the service adds to a scan. The time from a trigger
// press to the barcode's object arriving at 1, 10 and 100 subscribed
// clients of readerd, beside the same press to the library's own
// announcement in the same process (the ratio is the service's cost), and
// the service's CPU time while idle with clients connected. A text engine
// with the simulator pacing its bytes to the line.
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "announcement_clock.h"
#include "readerd_server.h"
#include "readersim/terminal.h"

namespace {

using bench::Clock;

constexpr std::size_t kTriggerModeByte = 20;  // in the simulated text engine's block

readersim::TerminalConfig terminalConfig() {
  readersim::TerminalConfig config;
  config.engineKind = 2;
  config.moduleKind = 0;
  config.pacing = true;
  config.textEngine.block[kTriggerModeByte] &= 0x0F;  // driven by the trigger
  config.steadyBarcode = readersim::barcodeOf("code39:BENCH0001");
  return config;
}

double msSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// The library alone: press to WM_DECODEDATA.
std::vector<double> inProcess(int scans) {
  readersim::Terminal terminal(terminalConfig());
  terminal.applyEnvironment();
  std::vector<double> times;
  if (InitReader() != READER_OK) return times;
  SetTriggerKey(1);
  ReaderHostSetBroadcastListener(&bench::onBroadcast, nullptr);
  for (int i = 0; i < scans; ++i) {
    const int before = bench::gAnnounced;
    const auto start = Clock::now();
    const std::int64_t startNs = bench::nowNs();
    ReaderHostTriggerKey(1, 1);
    if (!bench::dispatchUntil(before + 1, std::chrono::seconds(5))) break;
    times.push_back(static_cast<double>(bench::gAnnouncedAtNs - startNs) / 1e6);
    ReaderHostTriggerKey(1, 0);
    // The cycle's tail (the engine switched off) before the next press.
    const auto settle = start + std::chrono::milliseconds(100);
    while (Clock::now() < settle) ReaderHostDispatch(10);
  }
  ReaderHostSetBroadcastListener(nullptr, nullptr);
  HaltReader(READER_DEVICE_ALL);
  return times;
}

class Client {
 public:
  explicit Client(const std::string &path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }
  void send(const std::string &line) { [[maybe_unused]] auto n = ::send(fd_, line.data(), line.size(), MSG_NOSIGNAL); }
  // Reads what is there; true once a line containing `text` has come.
  bool readFor(const char *text) {
    char buffer[8192];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) input_.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = input_.find('\n')) != std::string::npos;) {
      const bool found = input_.compare(0, end, text) == 0 || input_.substr(0, end).find(text) != std::string::npos;
      input_.erase(0, end + 1);
      if (found) return true;
    }
    return false;
  }
  // Blocks until a line containing `text` has come; false after 10 s.
  bool waitFor(const char *text) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      if (readFor(text)) return true;
      pollfd watch{fd_, POLLIN, 0};
      ::poll(&watch, 1, 100);
    }
    return false;
  }

 private:
  int fd_ = -1;
  std::string input_;
};

struct ServedRow {
  std::vector<double> first, median, last;
};

ServedRow served(int clients, int scans, double *idleCpuPercent) {
  ServedRow row;
  readersim::Terminal terminal(terminalConfig());
  terminal.applyEnvironment();
  char directory[] = "/tmp/readerd-bench-XXXXXX";
  if (::mkdtemp(directory) == nullptr) return row;
  readerd::ServerOptions options;
  options.socketPath = std::string(directory) + "/readerd.sock";
  readerd::Server server(options);
  std::string error;
  if (!server.listen(error)) {
    std::printf("readerd: %s\n", error.c_str());
    return row;
  }
  std::thread loop([&] { server.run(); });
  std::vector<std::unique_ptr<Client>> subscribers;
  for (int i = 0; i < clients; ++i) {
    subscribers.push_back(std::make_unique<Client>(options.socketPath));
    subscribers.back()->send("{\"cmd\":\"subscribe\",\"what\":\"barcodes\"}\n");
  }
  for (auto &client : subscribers) client->waitFor("\"reply\":\"subscribe\"");
  // The reader has started once a status says so.
  {
    Client control(options.socketPath);
    for (int i = 0; i < 200; ++i) {
      control.send("{\"cmd\":\"status\"}\n");
      if (control.waitFor("\"reader\":\"running\"")) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::vector<pollfd> watch(subscribers.size());
  for (int scan = 0; scan < scans; ++scan) {
    std::vector<double> arrivals;
    const auto start = Clock::now();
    ReaderHostTriggerKey(1, 1);
    std::vector<bool> got(subscribers.size(), false);
    std::size_t pending = subscribers.size();
    while (pending > 0 && Clock::now() - start < std::chrono::seconds(5)) {
      for (std::size_t i = 0; i < subscribers.size(); ++i) watch[i] = {subscribers[i]->fd(), POLLIN, 0};
      ::poll(watch.data(), watch.size(), 100);
      for (std::size_t i = 0; i < subscribers.size(); ++i) {
        if (got[i] || !(watch[i].revents & POLLIN)) continue;
        if (subscribers[i]->readFor("\"event\":\"barcode\"")) {
          got[i] = true;
          --pending;
          arrivals.push_back(msSince(start, Clock::now()));
        }
      }
    }
    ReaderHostTriggerKey(1, 0);
    if (pending > 0) break;
    row.first.push_back(bench::percentile(arrivals, 0));
    row.median.push_back(bench::percentile(arrivals, 0.5));
    row.last.push_back(bench::percentile(arrivals, 1));
    std::this_thread::sleep_until(start + std::chrono::milliseconds(100));
  }

  if (idleCpuPercent != nullptr) {
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpuUs = [](const rusage &u) {
      return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
    };
    *idleCpuPercent = (cpuUs(after) - cpuUs(before)) / 1e4 / (msSince(idleStart, Clock::now()) / 1000);
  }
  server.stop();
  loop.join();
  subscribers.clear();
  ::rmdir(directory);
  return row;
}

}  // namespace

int main(int argc, char **argv) {
  const int scans = argc > 1 ? std::atoi(argv[1]) : 30;
  std::printf("press to object, simulated text engine with paced bytes, %d scans a row\n", scans);
  // The library's hidden window stays with the thread that first started
  // it: the in-process row runs in a child, so that readerd's reader thread
  // is the first to start the reader in this process.
  double alone[2] = {0, 0};
  int results[2];
  if (::pipe(results) != 0) return 1;
  const pid_t child = ::fork();
  if (child == 0) {
    const std::vector<double> times = inProcess(scans);
    const double row[2] = {times.empty() ? 0 : bench::percentile(times, 0.5),
                           times.empty() ? 0 : bench::percentile(times, 0.99)};
    [[maybe_unused]] const ssize_t written = ::write(results[1], row, sizeof row);
    ::_exit(0);
  }
  ::close(results[1]);
  const bool read = ::read(results[0], alone, sizeof alone) == static_cast<ssize_t>(sizeof alone);
  ::close(results[0]);
  ::waitpid(child, nullptr, 0);
  if (!read || alone[0] <= 0) {
    std::printf("the reader did not start\n");
    return 1;
  }
  const double aloneP50 = alone[0];
  std::printf("%-28s p50 %7.2f ms  p99 %7.2f ms\n", "in-process announcement", alone[0], alone[1]);
  double idle = 0;
  for (int clients : {1, 10, 100}) {
    const ServedRow row = served(clients, scans, clients == 10 ? &idle : nullptr);
    if (row.last.empty()) {
      std::printf("%d clients: no scan completed\n", clients);
      continue;
    }
    const double firstP50 = bench::percentile(row.first, 0.5);
    const double lastP50 = bench::percentile(row.last, 0.5);
    std::printf(
        "readerd, %3d client%s  first p50 %7.2f ms  median p50 %7.2f ms  last p50 %7.2f ms  last p99 %7.2f ms  "
        "ratio last/in-process %.3f\n",
        clients, clients == 1 ? " " : "s", firstP50, bench::percentile(row.median, 0.5), lastP50,
        bench::percentile(row.last, 0.99), lastP50 / aloneP50);
  }
  std::printf("idle, reader running, 10 clients subscribed: %.3f%% of one core (this process: service and library)\n",
              idle);
  return 0;
}
