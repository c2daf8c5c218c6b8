#include "platform/LocalDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/FileDescriptor.h"
#include "platform/FileInfo.h"
#include "platform/PathParts.h"
#include "platform/SystemError.h"
#include "platform/Wildcard.h"

namespace skyhaul::platform {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string userName(uid_t user) {
  const passwd* entry = ::getpwuid(user);
  return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : std::to_string(user);
}

// A path as a shell command may carry it: as it is when that is safe, else in single quotes.
std::string shellWord(const std::string& text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           std::strchr("/._-+:@%", c) != nullptr;
  });
  if (plain) return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A file another user made (root, after a run by hand) stops every later run of the job's
// user: the error says whose it is and how to give it back.
void throwIfOwnedByAnother(const std::string& path, const std::string& what, int error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || info.st_uid == ::geteuid()) return;
  const std::string runner = userName(::geteuid());
  throw SystemError(what + ": " + systemErrorText(error) + " (datoteka je last uporabnika " +
                    userName(info.st_uid) + ", posel pa teče kot uporabnik " + runner +
                    "; popravite z: sudo chown " + shellWord(runner) + " " +
                    shellWord(realPath(path)) + ")");
}

}  // namespace

std::vector<std::string> listMatchingFiles(const std::string& pathWithMask) {
  const std::string prefix = folderPrefixOf(pathWithMask);
  const std::string mask = nameOf(pathWithMask);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(prefix.empty() ? "." : prefix.c_str()));
  if (!dir) throwSystemError("Lokalnega imenika \"" + prefix + "\" ni mogoče brati", errno);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name.front() == '.') continue;
    if (!matchesWildcard(mask, name)) continue;
    if (isRegularFile(prefix + name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void deleteLocalFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    throwSystemError("Lokalne datoteke \"" + path + "\" ni mogoče izbrisati", errno);
  }
}

SourceDeletion deleteSentFile(const std::string& path, const LocalSource::Version& sent) {
  const std::string what = "Lokalne datoteke \"" + path + "\" ni mogoče izbrisati";
  const FileDescriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.isOpen()) throwSystemError(what, errno);
  const std::string name = nameOf(path);
  struct stat info {};
  bool found = ::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
  if (found && S_ISLNK(info.st_mode)) found = ::fstatat(folder.get(), name.c_str(), &info, 0) == 0;
  if (!found) return SourceDeletion::Gone;
  if (!(versionOf(info) == sent)) return SourceDeletion::Replaced;
  if (::unlinkat(folder.get(), name.c_str(), 0) != 0) throwSystemError(what, errno);
  return SourceDeletion::Deleted;
}

void appendToFile(const std::string& path, const std::string& bytes, const std::string& what) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) throwIfOwnedByAnother(path, what, error);
    throwSystemError(what, error);
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      const int error = errno;
      ::close(fd);
      throwSystemError(what, error);
    }
    done += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0) throwSystemError(what, errno);
}

}  // namespace skyhaul::platform
