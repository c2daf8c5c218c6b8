#pragma once
// A local file read or written in large buffered blocks, so that many small reads or writes cost
// one system call per block. Failures return false and leave their code in error() (2 not
// found, 3 path not found, 5 access denied, 112 disk full, 29/30 write/read fault); nothing
// throws.

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ErrorCode.h"

namespace skyhaul::platform {

class LocalFile {
 public:
  // One version of a file: the same file, size and modification time.
  struct Version {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const Version&) const = default;
  };

  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Opens an existing regular file for reading; a link somebody else made is not followed.
  bool openForReading(const std::string& path);
  // Whether `path` still names the file opened for reading, unchanged since it was opened
  // (the same file, size and modification time): nothing was appended, rewritten or put in
  // its place meanwhile. Also after close().
  bool unchangedSinceOpened(const std::string& path) const;
  // Reading: the version of the file opened.
  const Version& version() const { return opened_; }
  // Reading: goes on from byte `offset` (the next read starts there).
  bool seek(std::int64_t offset);
  // Starts a new version of `path`, written under a fresh hidden temporary in its folder
  // (PartFile.h) and locked while written: `path` itself changes only in close(), all at once.
  // Only a regular file, or none, is replaced; a device is written as it is, a FIFO or a
  // socket refused; a link somebody else made is not followed.
  bool openForWriting(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // What the last failure was.
  ErrorCode error() const { return error_; }
  // The open file, for a stream that sends from it directly; -1 when none is open.
  int descriptor() const { return fd_; }
  // The length of the file opened for reading.
  std::int64_t size() const { return size_; }
  // Reads `size` bytes; `bytesRead` is smaller only at the end of the file. A transfer reads
  // and writes 255 bytes at a time, nearly always within the buffer.
  bool read(void* data, std::size_t size, std::size_t& bytesRead) {
    if (!writing_ && fd_ >= 0 && size <= end_ - begin_) {
      std::memcpy(data, buffer_.data() + begin_, size);
      begin_ += size;
      bytesRead = size;
      return true;
    }
    return readAcrossFills(data, size, bytesRead);
  }
  bool write(const void* data, std::size_t size) {
    if (writing_ && fd_ >= 0 && size < buffer_.size() - end_) {
      std::memcpy(buffer_.data() + end_, data, size);
      end_ += size;
      return true;
    }
    return writeAcrossFlushes(data, size);
  }
  // Writing: room for `size` bytes (at most a buffer's worth) after what is written so far, to
  // be filled in place and then made part of the file by commitWrite(size), so that bytes read
  // from elsewhere need no copy of their own; null on failure (error()).
  char* prepareWrite(std::size_t size);
  void commitWrite(std::size_t size) { end_ += size; }
  // Reading: closes. Writing: writes what is buffered, makes the new version sure on the disk
  // and puts it in place of the file; false (the file untouched, the temporary gone) when any
  // of that fails. The name in its folder is made sure only by syncLocalFile.
  bool close();
  // Writing: drops the new version, leaving the file as it was. Reading: closes.
  void discard();
  // Writing: leaves the new version's temporary in its folder as far as it got, on the disk and
  // no longer locked, so that a later attempt or run may take it up again (resumeWriting);
  // `origin` is recorded with it where the file system allows (an extended attribute) to say
  // what it is part of. Its path, or "" when it could not be kept (it is gone then).
  std::string keep(const std::string& origin);
  // Writing: records `origin` with the temporary from the start, so that even a run killed
  // outright leaves a part the next run can prove it may take up. Only where the file system
  // allows (an extended attribute); false otherwise.
  bool recordOrigin(const std::string& origin);
  // Takes up the temporary `partPath` that keep() left for `path`: writing goes on at its end.
  // Only a regular file of this user's with one name, that nobody holds, is taken.
  bool resumeWriting(const std::string& path, const std::string& partPath);
  // Writing: the bytes of the new version so far.
  std::int64_t written() const { return written_ + static_cast<std::int64_t>(end_); }
  // Writing: reads back `size` bytes of what was written from `offset` on (fewer at its end).
  bool readWritten(std::int64_t offset, void* data, std::size_t size, std::size_t& bytesRead);

 private:
  int openDevice(const std::string& target);
  bool fill();
  bool readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead);
  bool writeAcrossFlushes(const void* data, std::size_t size);
  bool flush();
  void startWriteBack();
  void release();
  bool failWith(ErrorCode code);

  static constexpr std::size_t kBufferSize = 256 * 1024;
  // Written data is handed to the disk in steps of this size while the file is written, so
  // that the flush on closing finds little left to do.
  static constexpr std::int64_t kWriteBackStep = 8 * 1024 * 1024;
  int fd_ = -1;
  ErrorCode error_ = ErrorCode::Success;
  bool writing_ = false;
  std::string path_;      // writing: the file the new version replaces
  std::string partPath_;  // writing: where the new version is written
  Version opened_;        // reading: the file as it was when opened
  std::int64_t size_ = 0;
  std::int64_t written_ = 0;      // writing: the bytes handed to the system so far
  std::int64_t writtenBack_ = 0;  // writing: the bytes of those handed on to the disk
  std::int64_t settled_ = 0;      // writing: the bytes of those known to be on the disk
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // next byte to hand out (reading)
  std::size_t end_ = 0;    // end of the buffered bytes
};

// Waits until the file's data and its name in its folder are on the disk, so that the file
// outlives a power cut. The code of what failed when that cannot be made sure.
ErrorCode syncLocalFile(const std::string& path);

}  // namespace skyhaul::platform
