// A process forked from one that runs threads: the child has none of them.
// What the platform gives the library lets a child end without waiting for
// (or touching) its parent's threads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/process.h"
#include "platform/semaphore.h"
#include "platform/thread.h"

namespace {

using namespace reader::platform;

constexpr int kHung = 99;

// The child's exit status; kHung when it had to be stopped.
int inChild(const std::function<int()> &child) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    _exit(child());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFSIGNALED(status) ? kHung : WEXITSTATUS(status);
}

TEST(Threads, AreNamedAndTellWhenTheyHaveFinished) {
  Semaphore go(0, 1);
  std::string seen;
  auto thread = Thread::start(
      [&] {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        seen = name;
        go.wait(kWaitForever);
      },
      "reader-a-long-name-cut");
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(thread->finished());
  go.release();
  thread->join();
  EXPECT_TRUE(thread->finished());
  EXPECT_EQ(seen, "reader-a-long-n");  // the system's 15 characters
  // A body that throws ends its thread, which has finished all the same.
  auto throwing = Thread::start([] { throw 1; });
  ASSERT_NE(throwing, nullptr);
  throwing->join();
  EXPECT_TRUE(throwing->finished());
}

TEST(Threads, InjectedStartFailuresSkipThenFail) {
  failNextThreadStarts(1, 1);
  auto first = Thread::start([] {});
  auto second = Thread::start([] {});
  auto third = Thread::start([] {});
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
}

TEST(Threads, AForkedChildNeitherJoinsNorWaitsForItsParentsThreads) {
  Semaphore wake(0, 1);
  auto worker = Thread::start([&] { wake.wait(kWaitForever); }, "parent-worker");
  ASSERT_NE(worker, nullptr);
  const std::uint64_t parent = currentProcessId();
  EXPECT_EQ(inChild([&] {
              if (currentProcessId() == parent) return 2;
              // The thread is the parent's: finished here, and joined at once.
              if (!worker->finished()) return 3;
              worker->join();
              worker.reset();
              // The semaphore the parent's thread waits on starts afresh.
              wake.resetAfterFork(0);
              wake.release();
              if (wake.wait(1000) != WaitResult::Signaled) return 4;
              return 0;
            }),
            0);
  EXPECT_FALSE(worker->finished());  // the parent's own is still running
  wake.release();
  worker->join();
  EXPECT_TRUE(worker->finished());
}

}  // namespace
