#include "platform/LocalDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

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

void appendToFile(const std::string& path, const std::string& bytes, const std::string& what) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throwSystemError(what, errno);
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
