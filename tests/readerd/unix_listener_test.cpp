// The listening socket: its mode, and what is already at its path.
#include "unix_listener.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

class UnixListenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char directory[] = "/tmp/readerd-listen-XXXXXX";
    ASSERT_NE(::mkdtemp(directory), nullptr);
    directory_ = directory;
    path_ = directory_ + "/readerd.sock";
  }
  void TearDown() override {
    ::unlink(path_.c_str());
    ::rmdir(directory_.c_str());
  }

  unsigned modeOfPath() const {
    struct stat status {};
    return ::stat(path_.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
  }

  std::string directory_;
  std::string path_;
};

TEST_F(UnixListenerTest, TheSocketHasTheModeAskedFor) {
  const mode_t previous = ::umask(0);  // the process's umask must not widen or narrow it
  std::string error;
  const int fd = readerd::listenUnix(path_, 0660, std::nullopt, error);
  ::umask(previous);
  ASSERT_GE(fd, 0) << error;
  EXPECT_EQ(modeOfPath(), 0660u);
  ::close(fd);
}

TEST_F(UnixListenerTest, AStaleSocketIsReplacedAndALiveOneIsLeftAlone) {
  std::string error;
  const int first = readerd::listenUnix(path_, 0600, std::nullopt, error);
  ASSERT_GE(first, 0) << error;
  EXPECT_EQ(readerd::listenUnix(path_, 0600, std::nullopt, error), -1);
  EXPECT_NE(error.find("already listens"), std::string::npos) << error;
  ::close(first);  // a service that died: its file stays behind
  const int second = readerd::listenUnix(path_, 0600, std::nullopt, error);
  EXPECT_GE(second, 0) << error;
  ::close(second);
}

TEST_F(UnixListenerTest, AnythingElseAtThePathIsAnErrorAndKept) {
  std::ofstream(path_) << "not a socket";
  std::string error;
  EXPECT_EQ(readerd::listenUnix(path_, 0600, std::nullopt, error), -1);
  EXPECT_NE(error.find("not a socket"), std::string::npos) << error;
  EXPECT_EQ(modeOfPath() != 0, true);
  EXPECT_EQ(readerd::listenUnix(directory_ + "/" + std::string(200, 'p'), 0600, std::nullopt, error), -1);
}

TEST(DefaultSocketPathTest, TheServicesRuntimeDirectoryThenTheUsersElseRun) {
  // Each case is a process of its own: the environment is this test's.
  ::setenv("RUNTIME_DIRECTORY", "/run/readerd-test", 1);
  ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
  EXPECT_EQ(readerd::defaultSocketPath(), "/run/readerd-test/readerd.sock");
  ::unsetenv("RUNTIME_DIRECTORY");
  EXPECT_EQ(readerd::defaultSocketPath(), "/run/user/1000/readerd.sock");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(readerd::defaultSocketPath(), "/run/readerd/readerd.sock");
}

}  // namespace
