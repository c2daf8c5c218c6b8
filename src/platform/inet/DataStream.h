#pragma once
// The data connection of one transfer, buffered both ways so that many small reads or writes
// cost one system call per buffer.

#include <chrono>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/inet/Channel.h"
#include "platform/inet/Status.h"

namespace skyhaul::inet {

class DataStream {
 public:
  static constexpr std::size_t kBufferSize = 128 * 1024;
  // A transfer that moves fewer bytes than this within one time limit has stalled, however it
  // trickles: it fails as a timeout.
  static constexpr std::size_t kProgressFloor = 1024;

  DataStream(Channel channel, std::chrono::milliseconds timeout);

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
  // Queues `size` bytes, sending whenever the buffer is full.
  Status write(const char* data, std::size_t size) {
    if (size < buffer_.size() - end_ && channel_.isOpen()) {
      std::memcpy(buffer_.data() + end_, data, size);
      end_ += size;
      return {};
    }
    return writeAcrossSends(data, size);
  }
  // Sends what is queued.
  Status flush();
  // Orderly end: the peer sees the end of the data (under TLS after our close_notify). Closed
  // while received data is still unread, the system resets the connection instead, which makes
  // a sending server stop and send its final reply.
  void finish();
  // Abrupt end (reset): the peer never takes what it received as a complete upload.
  void abort() { channel_.abort(); }
  // Whether TLS is on and the handshake resumed the control connection's session.
  const Channel& channel() const { return channel_; }

 private:
  Status fill();
  Status readAcrossFills(char* data, std::size_t size, std::size_t& got);
  Status writeAcrossSends(const char* data, std::size_t size);
  // How long the stream may still wait before the floor is moved; only time spent waiting on
  // the network counts, not the program's own pauses between reads and writes.
  std::chrono::milliseconds waitAllowance() const { return timeout_ - waited_; }
  // Counts one wait that began at `started` and moved `bytes`.
  void account(std::chrono::steady_clock::time_point started, std::size_t bytes);

  Channel channel_;
  std::chrono::milliseconds timeout_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;                // next buffered byte to hand out (reading)
  std::size_t end_ = 0;                  // end of the buffered bytes
  bool atEnd_ = false;                   // a read has met the end of the data
  bool receiving_ = false;               // data has been read (a download or a listing)
  std::chrono::milliseconds waited_{0};  // waiting since the floor was last moved
  std::size_t moved_ = 0;                // bytes since then
};

}  // namespace skyhaul::inet
