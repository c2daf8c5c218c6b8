#include "platform/LocalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {

int codeFromErrno(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorDiskFull;
    default:
      return kErrorWriteFault;
  }
}

namespace {

bool failWithErrno() {
  setLastError(codeFromErrno(errno));
  return false;
}

}  // namespace

LocalFile::~LocalFile() { close(); }

bool LocalFile::openForReading(const std::string& path) {
  close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failWithErrno();
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    setLastError(codeFromErrno(error == 0 ? EACCES : error));
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  writing_ = false;
  size_ = info.st_size;
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
}

bool LocalFile::openForWriting(const std::string& path) {
  close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return failWithErrno();
  fd_ = fd;
  writing_ = true;
  size_ = 0;
  written_ = 0;
  writtenBack_ = 0;
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
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
      setLastError(errno == EIO ? kErrorReadFault : codeFromErrno(errno));
      return false;
    }
  }
}

bool LocalFile::readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0 || writing_) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
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
      return failWithErrno();
    }
    done += static_cast<std::size_t>(put);
  }
  written_ += static_cast<std::int64_t>(end_);
  end_ = 0;
  startWriteBack();
  return true;
}

// Starts writing the newest full steps to the disk without waiting for them. Only a hint: the
// flush on closing still makes sure, so its result is not looked at.
void LocalFile::startWriteBack() {
  if (written_ - writtenBack_ < kWriteBackStep) return;
  const std::int64_t upTo = written_ - written_ % kWriteBackStep;
  ::sync_file_range(fd_, writtenBack_, upTo - writtenBack_, SYNC_FILE_RANGE_WRITE);
  writtenBack_ = upTo;
}

bool LocalFile::writeAcrossFlushes(const void* data, std::size_t size) {
  if (fd_ < 0 || !writing_) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
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
  if (writing_) {
    stored = flush();
  }
  if (::close(fd_) != 0 && writing_ && stored) stored = failWithErrno();
  fd_ = -1;
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
  return stored;
}

namespace {

// fsync of one path opened read-only; a file system that cannot sync (EINVAL) has nothing to wait
// for.
bool syncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
  if (fd < 0) return failWithErrno();
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  if (synced) return true;
  setLastError(codeFromErrno(error));
  return false;
}

}  // namespace

bool syncLocalFile(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  return syncPath(path, 0) && syncPath(folder, O_DIRECTORY);
}

}  // namespace skyhaul::platform
