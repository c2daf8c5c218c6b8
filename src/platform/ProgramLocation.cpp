#include "platform/ProgramLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

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
  InstalledFile found;
  const FileDescriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.isOpen()) {
    found.missing = errno == ENOENT || errno == ENOTDIR;
    if (!found.missing) found.problem = "mape ni mogoče odpreti";
    return found;
  }
  FileDescriptor file(::openat(folder.get(), nameOf(path).c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.isOpen()) {
    found.missing = errno == ENOENT;
    if (errno == ELOOP) found.problem = "datoteka je simbolna povezava";
    if (!found.missing && found.problem.empty()) found.problem = "datoteke ni mogoče odpreti";
    return found;
  }
  struct stat folderInfo {};
  struct stat info {};
  if (::fstat(folder.get(), &folderInfo) != 0 || ::fstat(file.get(), &info) != 0) {
    found.problem = "datoteke ni mogoče pregledati";
  } else if (!S_ISREG(info.st_mode)) {
    found.problem = "to ni navadna datoteka";
  } else {
    found.problem = distrust(folderInfo, true);
    if (found.problem.empty()) found.problem = distrust(info, false);
  }
  if (found.problem.empty()) found.file = std::move(file);
  return found;
}

}  // namespace skyhaul::platform
