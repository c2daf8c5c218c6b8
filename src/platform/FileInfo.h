#pragma once
// What the job asks of local files besides reading and writing them: whether two paths name
// the same file, whatever their spelling (the program's own files must never be sent away or
// written over), whether a file exists, and who may read it.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace skyhaul::platform {

// A file by device and inode; a path that does not exist yet is named by its folder's device
// and inode and its bare name, so that it equals the file that path would create.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // only for a path that does not exist

  bool operator==(const FileIdentity&) const = default;
};

// The identity of `path` (symbolic links followed). False when neither the file nor its
// folder can be looked at.
bool identifyFile(const std::string& path, FileIdentity& identity);

// The running program's executable file.
bool identifyExecutable(FileIdentity& identity);

// Whether anything exists at `path`.
bool pathExists(const std::string& path);

// Whether `path` names a folder (links followed).
bool isDirectory(const std::string& path);

// The size of the regular file at `path` (links followed); -1 when there is none.
std::int64_t regularFileSize(const std::string& path);

// `path` with symbolic links and "." and ".." resolved; a path that does not exist is made
// absolute as it stands.
std::string realPath(const std::string& path);

// Whether `path` is a symbolic link, or a chain of them, that someone other than this user or
// root made. Such a link in a shared folder could send a transfer to any file of this user, so
// it is never followed (the kernel's protected_symlinks rule, in every folder).
bool isForeignLink(const std::string& path);

// Opens `path` with `flags` (O_CREAT not among them), following a symbolic link only when this
// user or root made it. Each link of a chain is looked at through a descriptor of its own and
// read from there, and each name is opened with O_NOFOLLOW, so nothing is followed by name
// after it was checked. -1 with errno otherwise (EACCES for a link of another user).
int openFollowingOwnLinks(const std::string& path, int flags);

// The name `path` leads to through links of this user's or root's, looked at as
// openFollowingOwnLinks does: a name that was no link when looked at, or that does not exist.
// False with errno otherwise (EACCES for a link of another user).
bool resolveOwnLinks(const std::string& path, std::string& resolved);

// Whether `path` names something other than a regular file (a folder, a FIFO, a device), links
// followed; false when nothing is there.
bool isOtherThanRegularFile(const std::string& path);

// Whether the current user may read `path`, a regular file.
bool isReadableFile(const std::string& path);

// Whether users other than the owner (its group, or anyone) may read `path`.
bool isReadableByOthers(const std::string& path);

}  // namespace skyhaul::platform
