// Why a port could not be opened, as one line a person can act on: the
// device path, the variable that names it and the system's reason.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/platform_test_support.h"
#include "platform/posix/serial_error_text.h"
#include "platform/serial_port.h"

namespace {

using namespace platform_test;
using namespace reader::platform;

// The description SerialPort::open leaves for READER_COM1 = `path`.
std::string failureFor(const char *path) {
  ScopedEnv env("READER_COM1", path);
  ErrorCode error = 0;
  EXPECT_EQ(SerialPort::open(1, error), nullptr) << (path ? path : "(unset)");
  return SerialPort::lastOpenFailure(1);
}

TEST(SerialPortOpenFailure, NamesThePathAndTheReason) {
  EXPECT_EQ(failureFor(nullptr), "READER_COM1 is not set");
  EXPECT_EQ(failureFor(""), "READER_COM1 is not set");
  EXPECT_EQ(failureFor("/nonexistent/ttyREADER"), "/nonexistent/ttyREADER (READER_COM1): no such device (errno 2)");
  EXPECT_EQ(failureFor("/dev/null"), "/dev/null (READER_COM1): not a serial line (errno 25)");
  EXPECT_EQ(failureFor("/tmp"), "/tmp (READER_COM1): not a serial line (a directory) (errno 21)");

  char file[] = "/tmp/reader-port-XXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(failureFor(file), std::string(file) + " (READER_COM1): not a serial line (errno 25)");
  ::unlink(file);

  // Each port keeps its own; an open that succeeds forgets it.
  EXPECT_EQ(SerialPort::lastOpenFailure(2), "");
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ScopedEnv env("READER_COM1", pty.slavePath().c_str());
  ErrorCode error = 0;
  auto port = SerialPort::open(1, error);
  ASSERT_NE(port, nullptr) << error;
  EXPECT_EQ(SerialPort::lastOpenFailure(1), "");

  EXPECT_EQ(SerialPort::open(1, error), nullptr);
  EXPECT_EQ(SerialPort::lastOpenFailure(1),
            pty.slavePath() + " (READER_COM1): busy: another process is using the port (errno 16)");
}

TEST(SerialPortOpenFailure, PermissionDeniedIsSaidSo) {
  // The text itself, whoever runs the test.
  EXPECT_EQ(posix::serialErrorText(EACCES), "permission denied (errno 13)");
  EXPECT_EQ(posix::serialErrorText(EPERM), "permission denied (errno 1)");

  // The open itself needs a user that file modes stop: root is not one, so
  // a child process becomes "nobody" for it.
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0600), 0);
  ScopedEnv env("READER_COM1", pty.slavePath().c_str());
  int reply[2];
  ASSERT_EQ(::pipe(reply), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string text = "cannot become an unprivileged user";
    const gid_t nobodyGroup = 65534;
    if (::setgroups(1, &nobodyGroup) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
      ErrorCode error = 0;
      text = SerialPort::open(1, error) ? "opened" : SerialPort::lastOpenFailure(1);
    }
    const bool sent = ::write(reply[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(reply[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(reply[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(reply[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (text == "cannot become an unprivileged user") GTEST_SKIP() << text;
  EXPECT_EQ(text, pty.slavePath() + " (READER_COM1): permission denied (errno 13)");
}

}  // namespace
