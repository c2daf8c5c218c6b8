#pragma once
// A new version of a local file, written in large buffered blocks under a hidden temporary in
// its folder (PartFile.h) and put in the file's place only when whole: the target of a download.
// A temporary may also be kept for a later attempt or run and taken up again (resume), with
// what it is part of recorded beside it (provenance). Failures return false and leave their
// code in error() (2 not found, 3 path not found, 5 access denied, 112 disk full, 29 write
// fault); nothing throws.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ErrorCode.h"

namespace skyhaul::platform {

class LocalTarget {
 public:
  LocalTarget() = default;
  ~LocalTarget();
  LocalTarget(const LocalTarget&) = delete;
  LocalTarget& operator=(const LocalTarget&) = delete;

  // Starts a new version of `path`, written under a fresh hidden temporary in its folder
  // (PartFile.h) and locked while written: `path` itself changes only in close(), all at once.
  // Only a regular file, or none, is replaced; a device is written as it is, a FIFO or a
  // socket refused; a link somebody else made is not followed.
  bool openForWriting(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // What the last failure was.
  ErrorCode error() const { return error_; }
  bool write(const void* data, std::size_t size) {
    if (fd_ >= 0 && size < buffer_.size() - end_) {
      std::memcpy(buffer_.data() + end_, data, size);
      end_ += size;
      return true;
    }
    return writeAcrossFlushes(data, size);
  }
  // Room for `size` bytes (at most a buffer's worth) after what is written so far, to be filled
  // in place and then made part of the file by commitWrite(size), so that bytes read from
  // elsewhere need no copy of their own; null on failure (error()).
  char* prepareWrite(std::size_t size);
  void commitWrite(std::size_t size) { end_ += size; }
  // Writes what is buffered, makes the new version sure on the disk and puts it in place of the
  // file; false (the file untouched, the temporary gone) when any of that fails. The name in
  // its folder is made sure only by syncLocalFile.
  bool close();
  // Drops the new version, leaving the file as it was.
  void discard();
  // Leaves the new version's temporary in its folder as far as it got, on the disk and no longer
  // locked, so that a later attempt or run may take it up again (resumeWriting); `origin` is
  // recorded with it where the file system allows (an extended attribute) to say what it is
  // part of. Its path, or "" when it could not be kept (it is gone then).
  std::string keep(const std::string& origin);
  // Records `origin` with the temporary from the start, so that even a run killed outright
  // leaves a part the next run can prove it may take up. Only where the file system allows (an
  // extended attribute); false otherwise.
  bool recordOrigin(const std::string& origin);
  // Takes up the temporary `partPath` that keep() left for `path`: writing goes on at its end.
  // Only a regular file of this user's with one name, that nobody holds, is taken.
  bool resumeWriting(const std::string& path, const std::string& partPath);
  // The bytes of the new version so far.
  std::int64_t written() const { return written_ + static_cast<std::int64_t>(end_); }
  // Reads back `size` bytes of what was written from `offset` on (fewer at its end).
  bool readWritten(std::int64_t offset, void* data, std::size_t size, std::size_t& bytesRead);

 private:
  int openDevice(const std::string& target);
  bool writeAcrossFlushes(const void* data, std::size_t size);
  bool flush();
  void startWriteBack();
  void start(int fd, const std::string& target, std::int64_t written);
  void release();
  bool failWith(ErrorCode code);

  static constexpr std::size_t kBufferSize = 256 * 1024;
  // Written data is handed to the disk in steps of this size while the file is written, so
  // that the flush on closing finds little left to do.
  static constexpr std::int64_t kWriteBackStep = 8 * 1024 * 1024;
  int fd_ = -1;
  ErrorCode error_ = ErrorCode::Success;
  std::string path_;              // the file the new version replaces
  std::string partPath_;          // where the new version is written ("" for a device)
  std::int64_t written_ = 0;      // the bytes handed to the system so far
  std::int64_t writtenBack_ = 0;  // the bytes of those handed on to the disk
  std::int64_t settled_ = 0;      // the bytes of those known to be on the disk
  std::vector<char> buffer_;
  std::size_t end_ = 0;  // end of the buffered bytes
};

// Waits until the file's data and its name in its folder are on the disk, so that the file
// outlives a power cut. The code of what failed when that cannot be made sure.
ErrorCode syncLocalFile(const std::string& path);

}  // namespace skyhaul::platform
