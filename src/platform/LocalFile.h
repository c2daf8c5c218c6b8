#pragma once
// A local file read or written in large buffered blocks, so that many small reads or writes cost
// one system call per block. Failures set the thread's last-error value (InternetLibrary.h codes:
// 2 not found, 3 path not found, 5 access denied, 112 disk full, 29/30 write/read fault) and
// return false; nothing throws.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace skyhaul::platform {

// The last-error code for a C errno value.
int codeFromErrno(int errorNumber);

class LocalFile {
 public:
  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Opens an existing regular file for reading.
  bool openForReading(const std::string& path);
  // Creates the file, or empties an existing one, for writing from its first byte.
  bool openForWriting(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
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
  // Writes what is buffered and closes; false when the data could not all be stored. The data
  // may still be in the system's cache: syncLocalFile makes sure it is on the disk.
  bool close();

 private:
  bool fill();
  bool readAcrossFills(void* data, std::size_t size, std::size_t& bytesRead);
  bool writeAcrossFlushes(const void* data, std::size_t size);
  bool flush();
  void startWriteBack();

  static constexpr std::size_t kBufferSize = 256 * 1024;
  // Written data is handed to the disk in steps of this size while the file is written, so
  // that the flush on closing finds little left to do.
  static constexpr std::int64_t kWriteBackStep = 8 * 1024 * 1024;
  int fd_ = -1;
  bool writing_ = false;
  std::int64_t size_ = 0;
  std::int64_t written_ = 0;      // writing: the bytes handed to the system so far
  std::int64_t writtenBack_ = 0;  // writing: the bytes of those handed on to the disk
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // next byte to hand out (reading)
  std::size_t end_ = 0;    // end of the buffered bytes
};

// Waits until the file's data and its name in its folder are on the disk, so that the file
// outlives a power cut. False (with the last error set) when that cannot be made sure.
bool syncLocalFile(const std::string& path);

}  // namespace skyhaul::platform
