#pragma once
// A local file read in large buffered blocks, so that many small reads cost one system call per
// block: the source of an upload. Failures return false and leave their code in error() (2 not
// found, 3 path not found, 5 access denied, 30 read fault); nothing throws.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ErrorCode.h"

struct stat;

namespace skyhaul::platform {

class LocalSource {
 public:
  // One version of a file: the same file, size and modification time.
  struct Version {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const Version&) const = default;
  };

  LocalSource() = default;
  ~LocalSource();
  LocalSource(const LocalSource&) = delete;
  LocalSource& operator=(const LocalSource&) = delete;

  // Opens an existing regular file for reading; a link somebody else made is not followed.
  bool openForReading(const std::string& path);
  // Whether `path` still names the file opened, unchanged since it was opened (the same file,
  // size and modification time): nothing was appended, rewritten or put in its place meanwhile.
  // Also after close().
  bool unchangedSinceOpened(const std::string& path) const;
  // The version of the file opened.
  const Version& version() const { return opened_; }
  // Goes on from byte `offset` (the next read starts there).
  bool seek(std::int64_t offset);
  bool isOpen() const { return fd_ >= 0; }
  // What the last failure was.
  ErrorCode error() const { return error_; }
  // The open file, for a stream that sends from it directly; -1 when none is open.
  int descriptor() const { return fd_; }
  // The length of the file opened.
  std::int64_t size() const { return size_; }
  // Reads `size` bytes; `bytesRead` is smaller only at the end of the file. A transfer reads
  // 255 bytes at a time, nearly always within the buffer.
  bool read(void* data, std::size_t size, std::size_t& bytesRead) {
    if (fd_ >= 0 && size <= end_ - begin_) {
      std::memcpy(data, buffer_.data() + begin_, size);
      begin_ += size;
      bytesRead = size;
      return true;
    }
    return readAcrossFills(data, size, bytesRead);
  }
  // Closes; true (reading leaves nothing to make sure of).
  bool close();

 private:
  bool fill();
  bool readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead);
  bool failWith(ErrorCode code);

  static constexpr std::size_t kBufferSize = 256 * 1024;
  int fd_ = -1;
  ErrorCode error_ = ErrorCode::Success;
  Version opened_;  // the file as it was when opened
  std::int64_t size_ = 0;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // next byte to hand out
  std::size_t end_ = 0;    // end of the buffered bytes
};

// The version of a file as stat() describes it.
LocalSource::Version versionOf(const struct stat& info);

}  // namespace skyhaul::platform
