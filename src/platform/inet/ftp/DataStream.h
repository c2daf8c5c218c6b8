#pragma once
// The data connection of one transfer, buffered both ways so that many small reads or writes
// cost one system call per buffer. A long transfer moves on to a thread of its own, which
// receives ahead of the reader (BackgroundReader) or sends behind the writer
// (BackgroundWriter); what the caller sees, failures included, stays the same.

#include <chrono>
#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/inet/Status.h"
#include "platform/inet/ftp/BackgroundReader.h"
#include "platform/inet/ftp/BackgroundWriter.h"
#include "platform/inet/transport/Channel.h"
#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {

class DataStream {
 public:
  static constexpr std::size_t kBufferSize = 128 * 1024;
  // A transfer that moves fewer bytes than this within one time limit has stalled.
  static constexpr std::size_t kProgressFloor = ProgressFloor::kProgressFloor;
  // Past this many bytes a transfer is long enough to be worth a thread.
  static constexpr std::size_t kBackgroundFrom = 2 * kBufferSize;

  // Moved only before the first byte goes either way.
  DataStream(Channel channel, std::chrono::milliseconds timeout);
  DataStream(DataStream&&) noexcept = default;
  ~DataStream();

  // Reads up to `size` bytes: fewer only at the end of the data; `got` is 0 at the end.
  // A transfer reads 255 bytes at a time, nearly always from what is buffered already.
  Status read(char* data, std::size_t size, std::size_t& got) {
    if (size > 0 && size <= end_ - begin_ && channel_.isOpen()) {
      std::memcpy(data, buffer_.data() + begin_, size);
      begin_ += size;
      got = size;
      return {};
    }
    return readAcrossFills(data, size, got);
  }
  // Reads what is buffered, or what the next receive brings: at most `size` bytes, fewer
  // whenever fewer have arrived; `got` is 0 only at the end.
  Status readSome(char* data, std::size_t size, std::size_t& got);
  // Queues `size` bytes, sending whenever the buffer is full.
  Status write(const char* data, std::size_t size) {
    if (size < buffer_.size() - end_ && channel_.isOpen()) {
      std::memcpy(buffer_.data() + end_, data, size);
      end_ += size;
      return {};
    }
    return writeAcrossSends(data, size);
  }
  // Queues `size` bytes of the open file `fd` from `offset` on, after what is queued already.
  // Without TLS they go from the file to the connection without passing through the program,
  // read when they are sent: the stream keeps its own handle of the file until it ends. A file
  // that ends before them is ReadFault (perhaps only at a later call or at flush()).
  Status writeFromFile(int fd, std::int64_t offset, std::size_t size);
  // Sends what is queued, and waits until all is sent.
  Status flush();
  // Orderly end: the peer sees the end of the data (under TLS after our close_notify). Closed
  // while received data is still unread, the system resets the connection instead, which makes
  // a sending server stop and send its final reply.
  void finish();
  // Abrupt end (reset): the peer never takes what it received as a complete upload.
  void abort();

 private:
  Status fill();
  Status receiveNow();
  Status sendBuffer();
  Status readAcrossFills(char* data, std::size_t size, std::size_t& got);
  Status writeAcrossSends(const char* data, std::size_t size);
  Status readFileIntoBuffer(int fd, std::int64_t offset, std::size_t size);
  Status useSource(int fd);
  void stopBackground();

  // The stream's own handle of the file it sends from.
  class SourceFile {
   public:
    SourceFile() = default;
    SourceFile(SourceFile&& other) noexcept
        : given_(std::exchange(other.given_, -1)), own_(std::exchange(other.own_, -1)) {}
    SourceFile& operator=(SourceFile&&) = delete;
    ~SourceFile() { reset(); }
    bool isCopyOf(int fd) const { return own_ >= 0 && given_ == fd; }
    int fd() const { return own_; }
    bool copy(int fd);
    void reset();

   private:
    int given_ = -1;
    int own_ = -1;
  };

  Channel channel_;
  std::chrono::milliseconds timeout_;
  ProgressFloor floor_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;                     // next buffered byte to hand out (reading)
  std::size_t end_ = 0;                       // end of the buffered bytes
  bool atEnd_ = false;                        // a read has met the end of the data
  bool receiving_ = false;                    // data has been read (a download or a listing)
  std::size_t moved_ = 0;                     // bytes moved so far, either way
  SourceFile source_;                         // before writer_: outlives its sending
  std::unique_ptr<BackgroundReader> reader_;  // after channel_: gone before it
  std::unique_ptr<BackgroundWriter> writer_;
};

}  // namespace skyhaul::inet::detail
