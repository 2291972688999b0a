// An Xvfb of the test's own: it picks a free display number and tells it
// through a pipe (-displayfd) once it accepts connections, so that tests
// running side by side never meet. display() is empty when no server could
// be started (no Xvfb: the test skips).
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char **environ;

namespace testing_support {

// Whether Xvfb is on the PATH.
inline bool xvfbInstalled() {
  const char *path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (::access((dirs.substr(start, end - start) + "/Xvfb").c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

class VirtualXServer {
 public:
  VirtualXServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char *argv[] = {"Xvfb",     "-displayfd", fd.c_str(), "-nolisten",  "tcp",
                          "-noreset", "-screen",    "0",        "320x240x24", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char **>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    // Generous: a loaded machine may take a while to start a server.
    while (pid_ > 0 && ::poll(&ready, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty() && c == '\n') display_ = ":" + number;
  }
  ~VirtualXServer() { stop(); }
  VirtualXServer(const VirtualXServer &) = delete;
  VirtualXServer &operator=(const VirtualXServer &) = delete;

  const std::string &display() const { return display_; }
  // Ends the server (a display that goes away).
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace testing_support
