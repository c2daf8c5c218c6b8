#include "platform/FileInfo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace skyhaul::platform {
namespace {

bool statIdentity(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  identity = FileIdentity{info.st_dev, info.st_ino, {}};
  return true;
}

}  // namespace

bool identifyFile(const std::string& path, FileIdentity& identity) {
  if (statIdentity(path, identity)) return true;
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  if (!statIdentity(folder, identity)) return false;
  identity.name = slash == std::string::npos ? path : path.substr(slash + 1);
  return true;
}

bool identifyExecutable(FileIdentity& identity) { return statIdentity("/proc/self/exe", identity); }

bool isReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (!path.empty() && path.front() == '/') return path;
  char here[PATH_MAX];
  if (::getcwd(here, sizeof here) == nullptr) return path;
  return std::string(here) + "/" + path;
}

bool isReadableByOthers(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace skyhaul::platform
