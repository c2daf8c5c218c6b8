#include "platform/LocalFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/ErrorCode.h"
#include "platform/FileInfo.h"
#include "platform/PartFile.h"
#include "platform/PathParts.h"

namespace skyhaul::platform {

namespace {

ErrorCode errnoCode() { return codeFromErrno(errno); }

std::int64_t modifiedNs(const struct stat& info) {
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

}  // namespace

LocalFile::~LocalFile() { discard(); }

bool LocalFile::openForReading(const std::string& path) {
  close();
  // Not blocking: a FIFO put in the file's place would otherwise wait for a writer for ever.
  // A link somebody else made is not followed; what is opened is checked on its descriptor.
  const int fd = openFollowingOwnLinks(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failWith(errnoCode());
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return failWith(codeFromErrno(error == 0 ? EACCES : error));
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  writing_ = false;
  size_ = info.st_size;
  opened_ = {info.st_dev, info.st_ino, info.st_size, modifiedNs(info)};
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
}

bool LocalFile::unchangedSinceOpened(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && info.st_dev == opened_.device &&
         info.st_ino == opened_.inode && info.st_size == opened_.size &&
         modifiedNs(info) == opened_.modifiedNs;
}

bool LocalFile::seek(std::int64_t offset) {
  if (fd_ < 0 || writing_) return failWith(ErrorCode::InvalidHandle);
  if (::lseek(fd_, offset, SEEK_SET) != offset) return failWith(errnoCode());
  begin_ = end_ = 0;
  return true;
}

bool LocalFile::openForWriting(const std::string& path) {
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
  fd_ = fd;
  path_ = target;
  writing_ = true;
  size_ = 0;
  written_ = 0;
  writtenBack_ = settled_ = 0;
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
}

// A device (such as /dev/null) cannot be replaced and is written as it is. A FIFO or a socket
// is no file at all, and opening one could wait for a reader for ever.
int LocalFile::openDevice(const std::string& target) {
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

bool LocalFile::fill() {
  begin_ = end_ = 0;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got >= 0) {
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (errno != EINTR) {
      return failWith(errno == EIO ? ErrorCode::ReadFault : errnoCode());
    }
  }
}

bool LocalFile::readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0 || writing_) return failWith(ErrorCode::InvalidHandle);
  auto* out = static_cast<char*>(data);
  while (bytesRead < size) {
    if (begin_ == end_) {
      if (!fill()) return false;
      if (end_ == 0) break;  // end of file
    }
    const std::size_t take = std::min(size - bytesRead, end_ - begin_);
    std::memcpy(out + bytesRead, buffer_.data() + begin_, take);
    begin_ += take;
    bytesRead += take;
  }
  return true;
}

bool LocalFile::flush() {
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
void LocalFile::startWriteBack() {
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

char* LocalFile::prepareWrite(std::size_t size) {
  if (fd_ < 0 || !writing_ || size > buffer_.size()) {
    failWith(ErrorCode::InvalidHandle);
    return nullptr;
  }
  if (size > buffer_.size() - end_ && !flush()) return nullptr;
  return buffer_.data() + end_;
}

bool LocalFile::writeAcrossFlushes(const void* data, std::size_t size) {
  if (fd_ < 0 || !writing_) return failWith(ErrorCode::InvalidHandle);
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

bool LocalFile::close() {
  if (fd_ < 0) return true;
  bool stored = true;
  if (writing_) stored = flush();
  if (writing_ && !partPath_.empty()) {
    // Still holding the lock, so that no clean-up takes the temporary away meanwhile.
    stored = stored && (::fdatasync(fd_) == 0 || errno == EINVAL || failWith(errnoCode()));
    stored = stored && (::rename(partPath_.c_str(), path_.c_str()) == 0 || failWith(errnoCode()));
    if (!stored) ::unlink(partPath_.c_str());
  }
  if (::close(fd_) != 0 && writing_ && stored) stored = failWith(errnoCode());
  release();
  return stored;
}

void LocalFile::discard() {
  if (fd_ < 0) return;
  if (writing_ && !partPath_.empty()) ::unlink(partPath_.c_str());
  ::close(fd_);
  release();
}

std::string LocalFile::keep(const std::string& origin) {
  if (fd_ < 0 || !writing_ || partPath_.empty()) return {};
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

bool LocalFile::recordOrigin(const std::string& origin) {
  return fd_ >= 0 && writing_ && !partPath_.empty() &&
         ::fsetxattr(fd_, kPartOrigin, origin.data(), origin.size(), 0) == 0;
}

bool LocalFile::resumeWriting(const std::string& path, const std::string& partPath) {
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
  fd_ = fd;
  path_ = target;
  partPath_ = partPath;
  writing_ = true;
  size_ = 0;
  written_ = info.st_size;
  writtenBack_ = settled_ = info.st_size;  // kept parts were synced when they were kept
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
}

bool LocalFile::readWritten(std::int64_t offset, void* data, std::size_t size,
                            std::size_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0 || !writing_ || !flush()) return failWith(ErrorCode::InvalidHandle);
  const ssize_t got = ::pread(fd_, data, size, offset);
  if (got < 0) return failWith(ErrorCode::ReadFault);
  bytesRead = static_cast<std::size_t>(got);
  return true;
}

bool LocalFile::failWith(ErrorCode code) {
  error_ = code;
  return false;
}

void LocalFile::release() {
  fd_ = -1;
  partPath_.clear();
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
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
