#include "platform/PartFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <memory>

#include "platform/ErrorCode.h"
#include "platform/PathParts.h"

namespace skyhaul::platform {
namespace {

constexpr std::string_view kPrefix = ".skyhaul-";
constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kRandomDigits = 16;
// A name taken by somebody else between our choice and our create is only bad luck: another
// choice is made. So many in a row is somebody making every choice fail.
constexpr int kCreateAttempts = 16;
// A part no run has taken up for this long is of a file that will not come again.
constexpr time_t kKeptPartLifetime = 7 * 24 * 60 * 60;

bool isLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::uint64_t randomNumber() {
  std::uint64_t number = 0;
  auto* bytes = reinterpret_cast<char*>(&number);
  std::size_t got = 0;
  while (got < sizeof number) {
    const ssize_t part = ::getrandom(bytes + got, sizeof number - got, 0);
    if (part > 0) got += static_cast<std::size_t>(part);
  }
  return number;
}

bool sameFile(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Ours beyond doubt: a plain file of this user with this one name, that no run holds locked.
bool isAbandonedOwnPart(int fd, const std::string& path) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
         info.st_nlink == 1 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path);
}

bool isRecentKeptPart(int fd) {
  struct stat info {};
  return ::fgetxattr(fd, kPartOrigin, nullptr, 0) > 0 && ::fstat(fd, &info) == 0 &&
         ::time(nullptr) - info.st_mtime < kKeptPartLifetime;
}

}  // namespace

std::string newPartFileName() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint64_t number = randomNumber();
  std::string name(kPrefix);
  for (std::size_t i = 0; i < kRandomDigits; ++i, number >>= 4) name += kHex[number & 0xF];
  return name.append(kSuffix);
}

bool isPartFileName(std::string_view name) {
  if (name.size() != kPrefix.size() + kRandomDigits + kSuffix.size()) return false;
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  const std::string_view digits = name.substr(kPrefix.size(), kRandomDigits);
  return std::all_of(digits.begin(), digits.end(), isLowerHexDigit);
}

int createPartFile(const std::string& folder, std::optional<mode_t> replaced, std::string& path,
                   ErrorCode& error) {
  constexpr int kFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  const mode_t mode = replaced.value_or(0666) & 0777;
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    path = pathIn(folder, newPartFileName());
    const int fd = ::open(path.c_str(), kFlags, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      error = codeFromErrno(errno);
      return -1;
    }
    // The file mode creation mask may have narrowed it; the new version reads as the old did.
    // Nothing is in it yet, so widening it now shows nobody anything.
    const bool moded = !replaced || ::fchmod(fd, mode) == 0;
    if (!moded || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      error = codeFromErrno(errno);
      ::unlink(path.c_str());
      ::close(fd);
      return -1;
    }
    return fd;
  }
  error = ErrorCode::SharingViolation;
  return -1;
}

std::vector<KeptPart> keptPartFiles(const std::string& folder) {
  std::vector<KeptPart> kept;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                &::closedir);
  if (!dir) return kept;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (!isPartFileName(entry->d_name)) continue;
    const std::string path = pathIn(folder, entry->d_name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    std::array<char, 8192> origin{};
    const ssize_t size = ::fgetxattr(fd, kPartOrigin, origin.data(), origin.size());
    if (size > 0 && isAbandonedOwnPart(fd, path)) {
      kept.push_back({path, std::string(origin.data(), static_cast<std::size_t>(size))});
    }
    ::close(fd);
  }
  return kept;
}

void removeLeftoverPartFiles(const std::string& folder) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                &::closedir);
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (!isPartFileName(entry->d_name)) continue;
    const std::string path = pathIn(folder, entry->d_name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (isAbandonedOwnPart(fd, path) && !isRecentKeptPart(fd)) ::unlink(path.c_str());
    ::close(fd);
  }
}

}  // namespace skyhaul::platform
