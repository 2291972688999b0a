// readerd as the service manager runs it: the listening socket handed over
// by socket activation (LISTEN_PID, LISTEN_FDS) and kept in place, SIGHUP
// reading readerd.conf again, SIGTERM ending it cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "readerd/socket_client.h"
#include "support/test_terminal.h"
#include "tcp_listener.h"

namespace {

using readerd::JsonObject;
using readerd_testing::SocketClient;

class ReaderdProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char directory[] = "/tmp/readerd-process-XXXXXX";
    ASSERT_NE(::mkdtemp(directory), nullptr);
    directory_ = directory;
    socketPath_ = directory_ + "/readerd.sock";
    configPath_ = directory_ + "/readerd.conf";
    std::ofstream(configPath_) << "# no devices: the reader keeps trying\n";
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::unlink(socketPath_.c_str());
    ::unlink(configPath_.c_str());
    ::rmdir(directory_.c_str());
  }

  // Starts readerd with at most `descriptors` open files, on its own socket.
  void startLimited(int descriptors) {
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      const rlimit limit{static_cast<rlim_t>(descriptors), static_cast<rlim_t>(descriptors)};
      ::setrlimit(RLIMIT_NOFILE, &limit);
      ::execl(READERD_PATH, "readerd", "--config", configPath_.c_str(), "--socket", socketPath_.c_str(),
              static_cast<char *>(nullptr));
      ::_exit(127);
    }
    // Up once the socket answers.
    for (int i = 0; i < 1000; ++i) {
      SocketClient probe(socketPath_);
      if (probe.connected()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // Starts readerd as socket activation would: the socket bound and
  // listening on descriptor 3 of a process told so by LISTEN_PID.
  void startActivated() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 16), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (fd != 3) {
        ::dup2(fd, 3);
        ::close(fd);
      }
      ::fcntl(3, F_SETFD, 0);
      ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
      ::setenv("LISTEN_FDS", "1", 1);
      ::execl(READERD_PATH, "readerd", "--config", configPath_.c_str(), "--socket", "/nonexistent/unused.sock",
              static_cast<char *>(nullptr));
      ::_exit(127);
    }
    ::close(fd);
  }

  // Asks for the status until `holds` or the patience ends.
  template <typename Condition>
  JsonObject statusWhen(SocketClient &client, Condition holds) {
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
    JsonObject status;
    do {
      status = client.request(R"({"cmd":"status"})");
      if (holds(status)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return status;
  }

  std::string directory_, socketPath_, configPath_;
  pid_t pid_ = -1;
};

TEST_F(ReaderdProcessTest, TakesTheActivatedSocketReloadsOnHangUpAndEndsOnTerm) {
  testing_support::clearReaderEnvironment();
  startActivated();
  SocketClient client(socketPath_);
  ASSERT_TRUE(client.connected());
  const JsonObject version = client.request(R"({"cmd":"version"})");
  EXPECT_EQ(version.string("reply"), "version");
  const JsonObject first = client.request(R"({"cmd":"status"})");
  EXPECT_EQ(first.number("tcp_port"), 0);
  EXPECT_NE(first.string("reader"), "running");  // nothing to open

  // A free port for the TCP listener the reloaded configuration asks for.
  std::string error;
  const int probe = readerd::listenTcpLoopback(0, error);
  ASSERT_GE(probe, 0) << error;
  const int port = readerd::boundTcpPort(probe);
  ::close(probe);
  std::ofstream(configPath_) << "TCP_PORT=" << port << "\n";
  ASSERT_EQ(::kill(pid_, SIGHUP), 0);
  EXPECT_EQ(statusWhen(client, [&](const JsonObject &s) { return s.number("tcp_port") == port; }).number("tcp_port"),
            port);

  ASSERT_EQ(::kill(pid_, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // The socket was the service manager's: it stays for the next start.
  struct stat socketFile {};
  EXPECT_EQ(::lstat(socketPath_.c_str(), &socketFile), 0);
  EXPECT_TRUE(S_ISSOCK(socketFile.st_mode));
}

TEST_F(ReaderdProcessTest, OutOfDescriptorsItClosesNewConnectionsAtOnceAndGoesOn) {
  testing_support::clearReaderEnvironment();
  startLimited(32);
  // More clients than it has descriptors for: each is either served or
  // closed at once, none left waiting in the backlog.
  std::vector<std::unique_ptr<SocketClient>> clients;
  int served = 0;
  int closed = 0;
  for (int i = 0; i < 48; ++i) {
    clients.push_back(std::make_unique<SocketClient>(socketPath_));
    ASSERT_TRUE(clients.back()->connected());
    ASSERT_TRUE(clients.back()->write("{\"cmd\":\"version\"}\n") || true);
    const std::optional<std::string> line = clients.back()->readLine();
    if (line) {
      ++served;
    } else {
      ASSERT_TRUE(clients.back()->closedByPeer()) << "client " << i << " neither served nor closed";
      ++closed;
    }
  }
  EXPECT_GT(served, 0);
  EXPECT_GT(closed, 0);
  clients.clear();
  // With the others gone, a newcomer is served and told what happened.
  JsonObject status;
  for (int i = 0; i < 100 && status.fields.empty(); ++i) {
    SocketClient again(socketPath_);
    status = again.request(R"({"cmd":"status"})");
  }
  // (A newcomer made while the others were still being closed may be refused too.)
  EXPECT_GE(status.number("refused").value_or(0), closed);
}

}  // namespace
