#pragma once
// Receives the data of a long download ahead of the one reading it, on a thread of its own, so
// that the waits on the network (and TLS's work) overlap with the work done per chunk.

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

class BackgroundReader {
 public:
  // Starts reading `channel`, which only this reader touches until stop(), within `floor`.
  BackgroundReader(Channel& channel, ProgressFloor floor, std::size_t blockSize);
  ~BackgroundReader();
  BackgroundReader(const BackgroundReader&) = delete;
  BackgroundReader& operator=(const BackgroundReader&) = delete;

  // The next data received, swapped into `block` (its old buffer goes back for reuse), `size`
  // bytes of it; 0 at the end of the data. The failure that ended the reading comes where the
  // data ran out, as it would have without the reader.
  Status next(std::vector<char>& block, std::size_t& size);
  // Ends the reading, whatever is left unread, and waits for the thread.
  void stop();

 private:
  static constexpr std::size_t kBlocksAhead = 4;
  // A wait is cut into slices this long, so that stop() is noticed soon.
  static constexpr std::chrono::milliseconds kSlice{100};

  void run();
  Status receive(std::vector<char>& block, std::size_t& size);
  bool takeSpare(std::vector<char>& block);

  Channel& channel_;
  ProgressFloor floor_;
  std::size_t blockSize_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<std::vector<char>, std::size_t>> received_;
  std::vector<std::vector<char>> spare_;
  std::size_t blocks_ = 0;  // blocks made so far, at most kBlocksAhead
  bool stopping_ = false;
  bool ended_ = false;  // the data ended, or failed with `failure_`
  Status failure_;
  std::thread thread_;  // last: it starts once all else is set up
};

}  // namespace skyhaul::inet::detail
