#include "platform/LocalSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/FileInfo.h"

namespace skyhaul::platform {

LocalSource::Version versionOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size,
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

LocalSource::~LocalSource() { close(); }

bool LocalSource::openForReading(const std::string& path) {
  close();
  // Not blocking: a FIFO put in the file's place would otherwise wait for a writer for ever.
  // A link somebody else made is not followed; what is opened is checked on its descriptor.
  const int fd = openFollowingOwnLinks(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failWith(codeFromErrno(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return failWith(codeFromErrno(error == 0 ? EACCES : error));
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  size_ = info.st_size;
  opened_ = versionOf(info);
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  return true;
}

bool LocalSource::unchangedSinceOpened(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && versionOf(info) == opened_;
}

bool LocalSource::seek(std::int64_t offset) {
  if (fd_ < 0) return failWith(ErrorCode::InvalidHandle);
  if (::lseek(fd_, offset, SEEK_SET) != offset) return failWith(codeFromErrno(errno));
  begin_ = end_ = 0;
  return true;
}

bool LocalSource::fill() {
  begin_ = end_ = 0;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got >= 0) {
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (errno != EINTR) {
      return failWith(errno == EIO ? ErrorCode::ReadFault : codeFromErrno(errno));
    }
  }
}

bool LocalSource::readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0) return failWith(ErrorCode::InvalidHandle);
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

bool LocalSource::close() {
  if (fd_ < 0) return true;
  ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
  return true;
}

bool LocalSource::failWith(ErrorCode code) {
  error_ = code;
  return false;
}

}  // namespace skyhaul::platform
