#include "platform/LocalTarget.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/FileInfo.h"
#include "platform/PartFile.h"
#include "platform/PathParts.h"

namespace skyhaul::platform {
namespace {

ErrorCode errnoCode() { return codeFromErrno(errno); }

}  // namespace

LocalTarget::~LocalTarget() { discard(); }

bool LocalTarget::openForWriting(const std::string& path) {
  close();
  // A link of this user's is followed to the file it names, which is what gets replaced; one
  // somebody else made is not. The name found is then only looked at, never followed: it is
  // replaced by a rename, which puts a new file in place of whatever holds the name then.
  std::string target;
  if (!resolveOwnLinks(path, target)) return failWith(errnoCode());
  struct stat info {};
  const bool exists = ::lstat(target.c_str(), &info) == 0;
  int fd = -1;
  partPath_.clear();
  if (exists && !S_ISREG(info.st_mode)) {
    fd = openDevice(target);
    if (fd < 0) return false;
  } else {
    // A file that may not be written is not replaced either.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0) {
      return failWith(errnoCode());
    }
    ErrorCode error = ErrorCode::Success;
    const std::optional<mode_t> mode =
        exists ? std::optional<mode_t>(info.st_mode) : std::optional<mode_t>();
    fd = createPartFile(folderPrefixOf(target), mode, partPath_, error);
    if (fd < 0) return failWith(error);
  }
  start(fd, target, 0);
  return true;
}

// A device (such as /dev/null) cannot be replaced and is written as it is. A FIFO or a socket
// is no file at all, and opening one could wait for a reader for ever.
int LocalTarget::openDevice(const std::string& target) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    failWith(errnoCode());
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    failWith(ErrorCode::AccessDenied);
    return -1;
  }
  return fd;
}

bool LocalTarget::flush() {
  std::size_t done = 0;
  while (done < end_) {
    const ssize_t put = ::write(fd_, buffer_.data() + done, end_ - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return failWith(errnoCode());
    }
    done += static_cast<std::size_t>(put);
  }
  written_ += static_cast<std::int64_t>(end_);
  end_ = 0;
  startWriteBack();
  return true;
}

// Starts writing the newest full steps to the disk without waiting for them, then waits for the
// steps started before and drops them from the page cache: what is not yet on the disk stays
// within two steps behind the write position, so the sync on closing waits for little and the
// cache does not fill with a file nobody reads back. Only hints: the sync on closing still
// makes sure, so their results are not looked at.
void LocalTarget::startWriteBack() {
  if (written_ - writtenBack_ < kWriteBackStep) return;
  const std::int64_t upTo = written_ - written_ % kWriteBackStep;
  ::sync_file_range(fd_, writtenBack_, upTo - writtenBack_, SYNC_FILE_RANGE_WRITE);
  if (writtenBack_ > settled_) {
    ::sync_file_range(
        fd_, settled_, writtenBack_ - settled_,
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(fd_, settled_, writtenBack_ - settled_, POSIX_FADV_DONTNEED);
    settled_ = writtenBack_;
  }
  writtenBack_ = upTo;
}

char* LocalTarget::prepareWrite(std::size_t size) {
  if (fd_ < 0 || size > buffer_.size()) {
    failWith(ErrorCode::InvalidHandle);
    return nullptr;
  }
  if (size > buffer_.size() - end_ && !flush()) return nullptr;
  return buffer_.data() + end_;
}

bool LocalTarget::writeAcrossFlushes(const void* data, std::size_t size) {
  if (fd_ < 0) return failWith(ErrorCode::InvalidHandle);
  const auto* in = static_cast<const char*>(data);
  while (size > 0) {
    const std::size_t take = std::min(size, buffer_.size() - end_);
    std::memcpy(buffer_.data() + end_, in, take);
    end_ += take;
    in += take;
    size -= take;
    if (end_ == buffer_.size() && !flush()) return false;
  }
  return true;
}

bool LocalTarget::close() {
  if (fd_ < 0) return true;
  bool stored = flush();
  if (!partPath_.empty()) {
    // Still holding the lock, so that no clean-up takes the temporary away meanwhile.
    stored = stored && (::fdatasync(fd_) == 0 || errno == EINVAL || failWith(errnoCode()));
    stored = stored && (::rename(partPath_.c_str(), path_.c_str()) == 0 || failWith(errnoCode()));
    if (!stored) ::unlink(partPath_.c_str());
  }
  if (::close(fd_) != 0 && stored) stored = failWith(errnoCode());
  release();
  return stored;
}

void LocalTarget::discard() {
  if (fd_ < 0) return;
  if (!partPath_.empty()) ::unlink(partPath_.c_str());
  ::close(fd_);
  release();
}

std::string LocalTarget::keep(const std::string& origin) {
  if (fd_ < 0 || partPath_.empty()) return {};
  std::string kept = partPath_;
  if (!flush() || (::fdatasync(fd_) != 0 && errno != EINVAL)) {
    discard();
    return {};
  }
  // Without the record (a file system without user attributes) the part still serves this run,
  // which remembers it; a later run cannot know it, and removes it.
  (void)::fsetxattr(fd_, kPartOrigin, origin.data(), origin.size(), 0);
  ::close(fd_);  // the lock goes with it
  release();
  return kept;
}

bool LocalTarget::recordOrigin(const std::string& origin) {
  return fd_ >= 0 && !partPath_.empty() &&
         ::fsetxattr(fd_, kPartOrigin, origin.data(), origin.size(), 0) == 0;
}

bool LocalTarget::resumeWriting(const std::string& path, const std::string& partPath) {
  close();
  std::string target;
  if (!resolveOwnLinks(path, target)) return failWith(errnoCode());
  const int fd = ::open(partPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failWith(errnoCode());
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
      info.st_nlink != 1 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      ::lseek(fd, 0, SEEK_END) != info.st_size) {
    ::close(fd);
    return failWith(ErrorCode::SharingViolation);
  }
  start(fd, target, info.st_size);  // kept parts were synced when they were kept
  partPath_ = partPath;
  return true;
}

bool LocalTarget::readWritten(std::int64_t offset, void* data, std::size_t size,
                              std::size_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0 || !flush()) return failWith(ErrorCode::InvalidHandle);
  const ssize_t got = ::pread(fd_, data, size, offset);
  if (got < 0) return failWith(ErrorCode::ReadFault);
  bytesRead = static_cast<std::size_t>(got);
  return true;
}

void LocalTarget::start(int fd, const std::string& target, std::int64_t written) {
  fd_ = fd;
  path_ = target;
  written_ = writtenBack_ = settled_ = written;
  buffer_.resize(kBufferSize);
  end_ = 0;
}

bool LocalTarget::failWith(ErrorCode code) {
  error_ = code;
  return false;
}

void LocalTarget::release() {
  fd_ = -1;
  partPath_.clear();
  buffer_.clear();
  buffer_.shrink_to_fit();
  end_ = 0;
}

namespace {

// fsync of one path opened read-only; a file system that cannot sync (EINVAL) has nothing to wait
// for.
ErrorCode syncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
  if (fd < 0) return errnoCode();
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  return synced ? ErrorCode::Success : codeFromErrno(error);
}

}  // namespace

ErrorCode syncLocalFile(const std::string& path) {
  const ErrorCode file = syncPath(path, 0);
  return file != ErrorCode::Success ? file : syncPath(folderOf(path), O_DIRECTORY);
}

}  // namespace skyhaul::platform
