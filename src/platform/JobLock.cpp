#include "platform/JobLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/SystemError.h"

namespace skyhaul::platform {
namespace {

// The holder's process id, written in place at the start of the file: the file is never
// truncated, so a run that finds the lock taken can still read who holds it.
constexpr std::size_t kPidWidth = 12;

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string lockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') return runtime;
  return "/tmp";
}

long readHolder(int fd) {
  std::array<char, kPidWidth + 1> text{};
  const ssize_t got = ::pread(fd, text.data(), kPidWidth, 0);
  if (got <= 0) return 0;
  return std::strtol(text.data(), nullptr, 10);
}

void writeHolder(int fd) {
  std::array<char, kPidWidth + 1> text{};
  std::snprintf(text.data(), text.size(), "%-11ld\n", static_cast<long>(::getpid()));
  // Only a hint for the run that finds the lock taken: a failure changes nothing else.
  [[maybe_unused]] const ssize_t put = ::pwrite(fd, text.data(), kPidWidth, 0);
}

}  // namespace

JobLock::~JobLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string JobLock::pathFor(const std::string& key) {
  std::array<char, 17> hex{};
  std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(fnv1a(key)));
  return lockFolder() + "/skyhaul-" + hex.data() + ".lock";
}

JobLock::Outcome JobLock::acquire(const std::string& key, long& holder) {
  const std::string path = pathFor(key);
  const std::string what = "Zaklepa posla \"" + path + "\" ni mogoče odpreti";
  constexpr int kFlags = O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  // Another user's lock file can still be locked through a descriptor open for reading.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | kFlags, 0644);
  if (fd < 0) throwSystemError(what, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw SystemError(what + ": to ni navadna datoteka");
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    holder = readHolder(fd);
    ::close(fd);
    if (error == EWOULDBLOCK) return Outcome::HeldElsewhere;
    throwSystemError(what, error);
  }
  writeHolder(fd);
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  return Outcome::Acquired;
}

}  // namespace skyhaul::platform
