#include "platform/JobLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>

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

// Runs `body` in a child process as the user nobody (root opens any file, so only another user
// meets the folder's and the lock file's owners); its exit code.
int asNobody(const std::function<int()>& body) {
  constexpr uid_t kNobody = 65534;
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Without $XDG_RUNTIME_DIR (under cron) the lock lives in a folder of the user's own, which
// nobody else can fill beforehand; a lock file there that is not the user's is refused.
TEST(JobLockFolder, TheUsersOwnFolderAndNoOtherUsersFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  TempDir home;
  ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
  ::unsetenv("XDG_RUNTIME_DIR");
  ::unsetenv("XDG_STATE_HOME");
  ::setenv("HOME", home.path().c_str(), 1);
  const std::string folder = home.prefix() + ".local/state/skyhaul";
  EXPECT_EQ(asNobody([&] {
              JobLock lock;
              long holder = 0;
              if (lock.acquire("k", holder) != JobLock::Outcome::Acquired) return 1;
              if (JobLock::pathFor("k").rfind(folder + "/", 0) != 0) return 2;
              struct stat info {};
              if (::stat(folder.c_str(), &info) != 0 || (info.st_mode & 07777) != 0700) return 3;
              writeFile(home.path() / "planted", JobLock::pathFor("planted"));
              return 0;
            }),
            0);
  writeFile(readFile(home.path() / "planted"), "1\n");  // root's file in nobody's folder
  EXPECT_EQ(asNobody([] {
              JobLock lock;
              long holder = 0;
              try {
                lock.acquire("planted", holder);
              } catch (const platform::SystemError&) {
                return 0;
              }
              return 1;
            }),
            0);
}

}  // namespace
}  // namespace skyhaul::test
