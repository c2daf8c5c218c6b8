#include "platform/JobLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "support/TempDir.h"

namespace skyhaul::test {
namespace {

using platform::JobLock;

class JobLockTest : public ::testing::Test {
 protected:
  JobLockTest() { writeFile(settings, "[nocna]\n"); }

  std::size_t entries() const {
    const std::filesystem::directory_iterator listing(folder.path());
    return static_cast<std::size_t>(std::distance(begin(listing), end(listing)));
  }

  TempDir folder;
  std::string settings = folder.prefix() + "ftpjob.ini";
};

// Each lock is taken through its own open file, so a second lock in the same process meets
// the first exactly as another process would.
TEST_F(JobLockTest, OneHolderPerSectionTheHolderIsNamedAndNothingIsCreated) {
  JobLock first;
  JobLock second;
  JobLock otherSection;
  long holder = -1;
  EXPECT_EQ(first.acquire(settings, "nocna", holder), JobLock::Outcome::Acquired);
  EXPECT_EQ(second.acquire(settings, "nocna", holder), JobLock::Outcome::HeldElsewhere);
  EXPECT_EQ(holder, ::getpid());
  EXPECT_EQ(otherSection.acquire(settings, "dnevna", holder), JobLock::Outcome::Acquired);
  EXPECT_EQ(entries(), 1u);  // the settings file alone
}

// A run on defaults has no settings file to lock: its folder carries the lock.
TEST_F(JobLockTest, WithoutASettingsFileItsFolderIsLocked) {
  const std::string missing = folder.prefix() + "none.ini";
  JobLock first;
  JobLock second;
  long holder = 0;
  EXPECT_EQ(first.acquire(missing, "s", holder), JobLock::Outcome::Acquired);
  EXPECT_EQ(second.acquire(missing, "s", holder), JobLock::Outcome::HeldElsewhere);
  EXPECT_EQ(entries(), 1u);
}

// A holder killed outright leaves no stale lock behind.
TEST_F(JobLockTest, AKilledHolderReleasesTheLock) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    JobLock lock;
    long holder = 0;
    while (lock.acquire(settings, "key", holder) != JobLock::Outcome::Acquired) ::usleep(1000);
    ::pause();
    ::_exit(0);
  }
  bool heldByChild = false;
  for (int i = 0; i < 500 && !heldByChild; ++i) {
    {
      JobLock probe;  // lets go before the pause when it got the lock before the child
      long holder = 0;
      heldByChild = probe.acquire(settings, "key", holder) == JobLock::Outcome::HeldElsewhere &&
                    holder == child;
    }
    if (!heldByChild) ::usleep(10000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(heldByChild);
  JobLock lock;
  long holder = 0;
  EXPECT_EQ(lock.acquire(settings, "key", holder), JobLock::Outcome::Acquired);
}

constexpr uid_t kNobody = 65534;

// A child process that holds the lock of `section` as the user nobody until it is killed;
// the process id once it holds it (its own acquire may fail: then the child ends with 1).
class NobodyHolds {
 public:
  NobodyHolds(const std::string& settings, const std::string& section) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(100);
      JobLock lock;
      long seen = 0;
      if (lock.acquire(settings, section, seen) != JobLock::Outcome::Acquired) ::_exit(1);
      [[maybe_unused]] const auto put = ::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    holds_ = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }
  ~NobodyHolds() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  NobodyHolds(const NobodyHolds&) = delete;
  NobodyHolds& operator=(const NobodyHolds&) = delete;
  bool holds() const { return holds_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool holds_ = false;
};

// Root by hand and the timer's user meet on one lock, in both orders; a user who may not read
// the settings file cannot hold it against them.
TEST_F(JobLockTest, AcrossUsersOnlyThoseWhoMayReadTheSettingsShareTheLock) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(settings.c_str(), 0644), 0);
  long holder = 0;
  {
    const NobodyHolds timer(settings, "nocna");
    ASSERT_TRUE(timer.holds());
    JobLock byHand;
    EXPECT_EQ(byHand.acquire(settings, "nocna", holder), JobLock::Outcome::HeldElsewhere);
    EXPECT_EQ(holder, timer.pid());
  }
  {
    JobLock byHand;
    ASSERT_EQ(byHand.acquire(settings, "nocna", holder), JobLock::Outcome::Acquired);
    const NobodyHolds timer(settings, "nocna");
    EXPECT_FALSE(timer.holds());
  }
  ASSERT_EQ(::chmod(settings.c_str(), 0600), 0);
  const NobodyHolds stranger(settings, "nocna");
  JobLock byHand;
  EXPECT_EQ(byHand.acquire(settings, "nocna", holder), JobLock::Outcome::Acquired);
}

}  // namespace
}  // namespace skyhaul::test
