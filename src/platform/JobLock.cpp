#include "platform/JobLock.h"

#include <fcntl.h>
#include <pwd.h>
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

std::string absoluteSetting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value == '/' ? value : "";
}

std::string homeFolder() {
  std::string home = absoluteSetting("HOME");
  if (!home.empty()) return home;
  const passwd* user = ::getpwuid(::geteuid());
  if (user != nullptr && user->pw_dir != nullptr && *user->pw_dir == '/') return user->pw_dir;
  throw SystemError("Domače mape uporabnika ni mogoče najti (HOME ni nastavljen)");
}

// The folder and every missing one above it, each of them only for this user.
void makeFolders(const std::string& path) {
  for (auto slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      throwSystemError("Mape za zaklepe \"" + folder + "\" ni mogoče narediti", errno);
    }
    if (slash == std::string::npos) return;
  }
}

// A lock where another user can write could be taken, replaced or faked by that user.
void checkOwnFolder(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    throwSystemError("Mape za zaklepe \"" + folder + "\" ni mogoče pregledati", errno);
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw SystemError("Mapa za zaklepe \"" + folder +
                      "\" ni mapa, ki bi bila v lasti tega uporabnika in samo njemu zapisljiva; "
                      "popravite jo (chmod 700) ali jo odstranite");
  }
}

// $XDG_RUNTIME_DIR, else a folder of the user's own state ($XDG_STATE_HOME, else
// ~/.local/state), which cron leaves to its jobs.
std::string lockFolder() {
  std::string folder = absoluteSetting("XDG_RUNTIME_DIR");
  if (folder.empty()) {
    std::string state = absoluteSetting("XDG_STATE_HOME");
    if (state.empty()) state = homeFolder() + "/.local/state";
    folder = state + "/skyhaul";
    makeFolders(folder);
  }
  checkOwnFolder(folder);
  return folder;
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
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) throwSystemError(what, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw SystemError(what + ": to ni navadna datoteka");
  }
  if (info.st_uid != ::geteuid()) {
    ::close(fd);
    throw SystemError(what + ": datoteka ni v lasti tega uporabnika; odstranite jo");
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
