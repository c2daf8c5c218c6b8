#pragma once
// The data connection of one transfer, buffered both ways so that many small reads or writes
// cost one system call per buffer. Results are the library's error codes.

#include <chrono>
#include <cstddef>
#include <vector>

#include "platform/FtpSocket.h"

namespace skyhaul::platform {

class FtpDataStream {
 public:
  static constexpr std::size_t kBufferSize = 128 * 1024;

  FtpDataStream(Socket socket, std::chrono::milliseconds timeout);

  // Reads up to `size` bytes: fewer only at the end of the data; `got` is 0 at the end.
  int read(char* data, std::size_t size, std::size_t& got);
  // Queues `size` bytes, sending whenever the buffer is full.
  int write(const char* data, std::size_t size);
  // Sends what is queued.
  int flush();
  // Orderly end: the peer sees the end of the data. Closed while received data is still
  // unread, the system resets the connection instead, which makes a sending server stop and
  // send its final reply.
  void finish();
  // Abrupt end (reset): the peer never takes what it received as a complete upload.
  void abort() { socket_.closeWithReset(); }

 private:
  int fill(std::chrono::milliseconds timeout);

  Socket socket_;
  std::chrono::milliseconds timeout_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // next buffered byte to hand out (reading)
  std::size_t end_ = 0;    // end of the buffered bytes
  bool atEnd_ = false;     // a read has met the end of the data
};

}  // namespace skyhaul::platform
