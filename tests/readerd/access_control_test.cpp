// Who may do what: clients on the TCP port only query and subscribe; the
// commands that change the reader are kept to the control group, judged by
// the kernel's credentials of the connecting process, not by anything the
// client says.
#include <arpa/inet.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "readerd/served_reader.h"
#include "readerd/socket_client.h"

namespace {

using readerd::JsonObject;
using readerd_testing::ServedReader;
using readerd_testing::SocketClient;
using readerd_testing::withoutReader;

// The first line the service answers `request` with, over TCP to the
// loopback address.
std::string askOverTcp(int port, const std::string &request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string line;
  if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
    const std::string sent = request + "\n";
    if (::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(sent.size())) {
      char c = 0;
      while (::recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
    }
  }
  ::close(fd);
  return line;
}

TEST(ReaderdAccessTest, TcpClientsOnTheLoopbackAddressMayOnlyRead) {
  readerd::ServerOptions options = withoutReader();
  options.tcpPort = 0;  // a free port
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  const int port = served.server().tcpPort();
  ASSERT_GT(port, 0);
  EXPECT_NE(askOverTcp(port, R"({"cmd":"version"})").find(R"("reply":"version")"), std::string::npos);
  EXPECT_NE(askOverTcp(port, R"({"cmd":"subscribe","what":"all"})").find(R"("reply":"subscribe")"), std::string::npos);
  for (const char *request : {R"({"cmd":"trigger","pressed":true})", R"({"cmd":"settings_set","prefix":"X"})",
                              R"({"cmd":"settings_reset"})", R"({"cmd":"tag_write","start":6,"hex":"00"})"}) {
    EXPECT_NE(askOverTcp(port, request).find(R"("error":"read_only")"), std::string::npos) << request;
  }
  // The same requests over the Unix socket are not refused for being read-only.
  SocketClient local(served.path());
  EXPECT_NE(local.request(R"({"cmd":"settings_reset"})").string("error"), "read_only");
}

TEST(ReaderdAccessTest, OnlyTheControlGroupChangesTheReaderAsTheKernelSaysWhoConnected) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  readerd::ServerOptions options = withoutReader();
  options.controlGroup = "root";
  options.socketMode = 0666;  // so that the other user can connect at all
  ServedReader served(options);
  ASSERT_TRUE(served.listening()) << served.error();
  ASSERT_EQ(::chmod(served.directory().c_str(), 0711), 0);  // the socket's directory, for the other user

  // A child that becomes nobody (not in the group root) and asks.
  int answers[2];
  ASSERT_EQ(::pipe(answers), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(answers[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    SocketClient client(served.path());
    if (!client.connected()) ::_exit(4);
    std::string said;
    for (const char *request : {R"({"cmd":"settings_reset","id":1})", R"({"cmd":"settings_set","prefix":"X"})",
                                R"({"cmd":"tag_write","start":6,"hex":"00"})", R"({"cmd":"status"})"})
      said += client.request(request).string("error").value_or("none") + " ";
    [[maybe_unused]] const ssize_t written = ::write(answers[1], said.data(), said.size());
    ::_exit(0);
  }
  ::close(answers[1]);
  std::string said;
  char buffer[256];
  for (ssize_t got; (got = ::read(answers[0], buffer, sizeof buffer)) > 0;) said.append(buffer, got);
  ::close(answers[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(said, "not_permitted not_permitted not_permitted none ");

  // This process is root: permitted (the command then finds no reader).
  SocketClient root(served.path());
  const JsonObject reply = root.request(R"({"cmd":"settings_reset"})");
  EXPECT_NE(reply.string("error"), "not_permitted");
}

}  // namespace
