#include "platform/FileInfo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"
#include "platform/PathParts.h"

namespace skyhaul::platform {
namespace {

bool statIdentity(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  identity = FileIdentity{info.st_dev, info.st_ino, {}};
  return true;
}

constexpr int kMaxLinks = 40;  // as the kernel's own bound on a chain

bool madeByTrustedUser(const struct stat& info) {
  return info.st_uid == ::geteuid() || info.st_uid == 0;
}

enum class Step { NoLink, Followed, Failed };

// When `at` is a link of a trusted user, `at` becomes the name it leads to. The link is held
// by a descriptor of its own (O_PATH) while its owner is checked and its text read.
Step followOwnLink(std::string& at) {
  const FileDescriptor link(::open(at.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!link.isOpen()) return errno == ENOENT ? Step::NoLink : Step::Failed;
  struct stat info {};
  if (::fstat(link.get(), &info) != 0 || !S_ISLNK(info.st_mode)) return Step::NoLink;
  if (!madeByTrustedUser(info)) {
    errno = EACCES;
    return Step::Failed;
  }
  std::string target(PATH_MAX, '\0');
  const ssize_t length = ::readlinkat(link.get(), "", target.data(), target.size());
  if (length < 0) return Step::Failed;
  target.resize(static_cast<std::size_t>(length));
  at = pathIn(folderOf(at), target);
  return Step::Followed;
}

}  // namespace

int openFollowingOwnLinks(const std::string& path, int flags) {
  std::string at = path;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    const int fd = ::open(at.c_str(), flags | O_NOFOLLOW);
    if (fd >= 0 || errno != ELOOP) return fd;
    // `at` is a link (or became one): look at it, then open what it names, again unfollowed.
    if (followOwnLink(at) == Step::Failed) return -1;
  }
  errno = ELOOP;
  return -1;
}

bool resolveOwnLinks(const std::string& path, std::string& resolved) {
  std::string at = path;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    switch (followOwnLink(at)) {
      case Step::NoLink:
        resolved = at;
        return true;
      case Step::Failed:
        return false;
      case Step::Followed:
        break;
    }
  }
  errno = ELOOP;
  return false;
}

bool isForeignLink(const std::string& path) {
  std::string at = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info {};
    if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
    if (info.st_uid != ::geteuid() && info.st_uid != 0) return true;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(at.c_str(), target.data(), target.size());
    if (length < 0) return false;
    target.resize(static_cast<std::size_t>(length));
    at = pathIn(folderOf(at), target);
  }
  return false;  // a loop: opening it fails
}

bool isOtherThanRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool identifyFile(const std::string& path, FileIdentity& identity) {
  if (statIdentity(path, identity)) return true;
  if (!statIdentity(folderOf(path), identity)) return false;
  identity.name = nameOf(path);
  return true;
}

bool identifyExecutable(FileIdentity& identity) { return statIdentity("/proc/self/exe", identity); }

bool isReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

std::int64_t regularFileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (!path.empty() && path.front() == '/') return path;
  char here[PATH_MAX];
  if (::getcwd(here, sizeof here) == nullptr) return path;
  return pathIn(here, path);
}

bool isReadableByOthers(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace skyhaul::platform
