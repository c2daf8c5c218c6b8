#include "platform/JobLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Deadline.h"
#include "platform/PathParts.h"
#include "platform/SystemError.h"

namespace skyhaul::platform {
namespace {

// A section's range: its first byte says the job is running; the byte at 1 + the holder's
// process id says who runs it. The kernel shows each lock's range in /proc/locks but, for a
// lock held by an open file rather than a process, not its process, so the range carries it.
// Process ids stay below 2^22 (pid_max).
constexpr std::int64_t kRangesStart = std::int64_t{1} << 40;
constexpr int kRangeBits = 23;
constexpr std::int64_t kSections = std::int64_t{1} << 30;

// Deciding and taking the lock is done under an exclusive flock of the whole file, held for a
// few system calls; one held longer than this is somebody's doing, not another start's.
constexpr auto kDecisionWait = std::chrono::seconds(5);
constexpr auto kDecisionPoll = std::chrono::milliseconds(2);

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::int64_t rangeOf(const std::string& section) {
  return kRangesStart + static_cast<std::int64_t>(fnv1a(section) % kSections) * (1 << kRangeBits);
}

// The settings file; its folder when there is none to read (a job running on defaults).
int openLockTarget(const std::string& settingsPath) {
  const int fd = ::open(settingsPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0 || (errno != ENOENT && errno != EACCES)) return fd;
  return ::open(folderOf(settingsPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

class DecisionLock {
 public:
  explicit DecisionLock(int fd) : fd_(fd) {
    const Deadline deadline(kDecisionWait);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) return;
      if (deadline.passed()) return;
      std::this_thread::sleep_for(kDecisionPoll);
    }
    held_ = true;
  }
  ~DecisionLock() {
    if (held_) ::flock(fd_, LOCK_UN);
  }
  DecisionLock(const DecisionLock&) = delete;
  DecisionLock& operator=(const DecisionLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

struct Holding {
  bool running = false;
  long holder = 0;
};

// The locks on the file of `info` within the range from `start`, as /proc/locks lists them
// (the kernel's F_OFD_GETLK tells neither the holder nor, on every system, the lock at all):
// "1: OFDLCK ADVISORY  READ -1 fe:00:733 1000 1000", waiters on lines of their own with "->".
Holding findHolding(const struct stat& info, std::int64_t start) {
  std::array<char, 64> file{};
  std::snprintf(file.data(), file.size(), "%02x:%02x:%llu", ::major(info.st_dev),
                ::minor(info.st_dev), static_cast<unsigned long long>(info.st_ino));
  const std::string wanted = file.data();
  Holding found;
  std::ifstream locks("/proc/locks");
  // Without the list no run could tell another one is under way: refused rather than guessed.
  if (!locks) throw SystemError("Zaklepov posla ni mogoče preveriti: /proc/locks ni berljiv");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream words(line);
    std::string number, kind, mode, access, pid, where, first, last;
    if (!(words >> number >> kind >> mode >> access >> pid >> where >> first >> last)) continue;
    if (number == "->" || kind != "OFDLCK" || where != wanted) continue;
    std::int64_t from = 0;
    try {
      from = std::stoll(first);
    } catch (const std::exception&) {
      continue;
    }
    if (from == start) found.running = true;
    if (from > start && from < start + (std::int64_t{1} << kRangeBits)) {
      found.holder = static_cast<long>(from - start - 1);
    }
  }
  return found;
}

bool lockByte(int fd, std::int64_t at) {
  struct flock range {};
  range.l_type = F_RDLCK;
  range.l_whence = SEEK_SET;
  range.l_start = at;
  range.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

}  // namespace

JobLock::Outcome JobLock::acquire(const std::string& settingsPath, const std::string& section,
                                  long& holder) {
  const std::string what = "Zaklepa posla na \"" + settingsPath + "\" ni mogoče vzeti";
  FileDescriptor target(openLockTarget(settingsPath));
  if (!target.isOpen()) throwSystemError(what, errno);
  struct stat info {};
  if (::fstat(target.get(), &info) != 0) throwSystemError(what, errno);
  const std::int64_t start = rangeOf(section);
  const DecisionLock decision(target.get());
  const Holding holding = decision.held() ? findHolding(info, start) : Holding{true, 0};
  holder = holding.holder;
  if (holding.running) return Outcome::HeldElsewhere;
  if (!lockByte(target.get(), start)) throwSystemError(what, errno);
  lockByte(target.get(), start + 1 + ::getpid());  // only tells who holds it
  // The decision lets go of the same open file, which stays open here; no program the job
  // starts may hold it.
  const int kept = ::fcntl(target.get(), F_DUPFD_CLOEXEC, 0);
  const int error = errno;
  fd_ = FileDescriptor(kept);
  if (kept < 0) throwSystemError(what, error);
  return Outcome::Acquired;
}

}  // namespace skyhaul::platform
