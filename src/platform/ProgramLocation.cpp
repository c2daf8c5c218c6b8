#include "platform/ProgramLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/PathParts.h"
#include "platform/SystemError.h"

namespace skyhaul::platform {
namespace {

bool trustedOwner(uid_t owner) {
  struct stat program {};
  return owner == 0 || (::stat("/proc/self/exe", &program) == 0 && owner == program.st_uid);
}

bool othersMayWrite(const struct stat& info) { return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

// Why the folder (`isFolder`) or the file described by `info` may not be trusted, or "".
std::string distrust(const struct stat& info, bool isFolder) {
  const char* what = isFolder ? "mapa" : "datoteka";
  if (!trustedOwner(info.st_uid)) {
    return std::string(what) + " ni last uporabnika root ali lastnika programa";
  }
  if (othersMayWrite(info)) {
    return std::string(isFolder ? "v mapo" : "v datoteko") + " lahko pišejo tudi drugi uporabniki";
  }
  return {};
}

}  // namespace

std::string executableDirectory() {
  std::error_code error;
  const auto executable = std::filesystem::canonical("/proc/self/exe", error);
  if (error) throwSystemError("Mape programa ni mogoče ugotoviti", error.value());
  return executable.parent_path().string();
}

InstalledFile openInstalledFile(const std::string& path) {
  InstalledFile file;
  const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    file.missing = errno == ENOENT || errno == ENOTDIR;
    if (!file.missing) file.problem = "mape ni mogoče odpreti";
    return file;
  }
  const int fd = ::openat(folder, nameOf(path).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  const int openError = errno;
  struct stat folderInfo {};
  struct stat info {};
  const bool known = ::fstat(folder, &folderInfo) == 0 && (fd < 0 || ::fstat(fd, &info) == 0);
  ::close(folder);
  if (fd < 0) {
    file.missing = openError == ENOENT;
    if (openError == ELOOP) file.problem = "datoteka je simbolna povezava";
    if (!file.missing && file.problem.empty()) file.problem = "datoteke ni mogoče odpreti";
    return file;
  }
  if (!known) {
    file.problem = "datoteke ni mogoče pregledati";
  } else if (!S_ISREG(info.st_mode)) {
    file.problem = "to ni navadna datoteka";
  } else {
    file.problem = distrust(folderInfo, true);
    if (file.problem.empty()) file.problem = distrust(info, false);
  }
  if (!file.problem.empty()) {
    ::close(fd);
    return file;
  }
  file.fd = fd;
  return file;
}

}  // namespace skyhaul::platform
