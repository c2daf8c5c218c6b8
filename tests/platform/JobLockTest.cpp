#include "platform/JobLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/SystemError.h"
#include "support/TempDir.h"

namespace skyhaul::test {
namespace {

using platform::JobLock;

class JobLockTest : public ::testing::Test {
 protected:
  JobLockTest() { ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1); }
  TempDir runtime;
};

// Each lock is taken through its own open file, so a second lock in the same process meets
// the first exactly as another process would.
TEST_F(JobLockTest, OneHolderPerKeyAndTheHolderIsNamed) {
  JobLock first;
  JobLock second;
  JobLock otherKey;
  long holder = -1;
  EXPECT_EQ(first.acquire("/etc/ftpjob.ini\nnocna", holder), JobLock::Outcome::Acquired);
  EXPECT_EQ(second.acquire("/etc/ftpjob.ini\nnocna", holder), JobLock::Outcome::HeldElsewhere);
  EXPECT_EQ(holder, ::getpid());
  EXPECT_EQ(otherKey.acquire("/etc/ftpjob.ini\ndnevna", holder), JobLock::Outcome::Acquired);
  EXPECT_EQ(JobLock::pathFor("k").rfind(runtime.prefix(), 0), 0u);
}

// A holder killed outright leaves no stale lock behind.
TEST_F(JobLockTest, AKilledHolderReleasesTheLock) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    JobLock lock;
    long holder = 0;
    while (lock.acquire("key", holder) != JobLock::Outcome::Acquired) ::usleep(1000);
    ::pause();
    ::_exit(0);
  }
  bool heldByChild = false;
  for (int i = 0; i < 500 && !heldByChild; ++i) {
    {
      JobLock probe;  // lets go before the pause when it got the lock before the child
      long holder = 0;
      heldByChild =
          probe.acquire("key", holder) == JobLock::Outcome::HeldElsewhere && holder == child;
    }
    if (!heldByChild) ::usleep(10000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(heldByChild);
  JobLock lock;
  long holder = 0;
  EXPECT_EQ(lock.acquire("key", holder), JobLock::Outcome::Acquired);
}

TEST_F(JobLockTest, ALockFileThatIsNoPlainFileIsAnError) {
  std::filesystem::create_symlink("/etc/passwd", JobLock::pathFor("linked"));
  std::filesystem::create_directory(JobLock::pathFor("folder"));
  JobLock lock;
  long holder = 0;
  EXPECT_THROW(lock.acquire("linked", holder), platform::SystemError);
  EXPECT_THROW(lock.acquire("folder", holder), platform::SystemError);
}

}  // namespace
}  // namespace skyhaul::test
