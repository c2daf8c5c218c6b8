#pragma once
// Sends the data of a long upload behind the one writing it, on a thread of its own, so that the
// waits on the network (and TLS's work) overlap with the work done per chunk.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/inet/Status.h"
#include "platform/inet/transport/Channel.h"
#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {

class BackgroundWriter {
 public:
  // Starts sending on `channel`, which only this writer touches until stop(), within `floor`.
  BackgroundWriter(Channel& channel, ProgressFloor floor);
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Hands the first `size` bytes of `block` over to be sent and gives an empty buffer of the
  // same size back in it; waits while every buffer is on its way. A send that failed before
  // is reported from here on.
  Status put(std::vector<char>& block, std::size_t size);
  // Hands over `size` bytes of the file `fd` from `offset` on, sent straight from the file
  // (the file must stay open until drain() or stop()); waits while enough is on its way.
  Status putFileRange(int fd, std::int64_t offset, std::size_t size);
  // Waits until all that was handed over is sent; the first failure.
  Status drain();
  // Ends the sending, whatever is left, and waits for the thread.
  void stop();

 private:
  // What is handed over and not yet sent, at most (four buffers of the stream).
  static constexpr std::size_t kBytesBehind = 512 * 1024;
  static constexpr std::chrono::milliseconds kSlice{100};

  // Bytes to send: a buffer of them, or (no buffer) a range of a file.
  struct Piece {
    std::vector<char> block;
    std::size_t size = 0;
    int fd = -1;
    std::int64_t offset = 0;
  };

  void run();
  template <typename SendSome>
  Status send(std::size_t size, SendSome sendSome);
  Status sendPiece(const Piece& piece);
  void waitForRoom(std::unique_lock<std::mutex>& lock);

  Channel& channel_;
  ProgressFloor floor_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> waiting_;
  std::vector<std::vector<char>> spare_;
  std::size_t inFlight_ = 0;  // bytes handed over and not yet sent
  bool stopping_ = false;
  Status failure_;
  std::thread thread_;  // last: it starts once all else is set up
};

}  // namespace skyhaul::inet::detail
