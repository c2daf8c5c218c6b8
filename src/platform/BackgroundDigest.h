#pragma once
// A digest fed in small pieces by a transfer and computed in large blocks on a thread of its
// own, so that hashing overlaps with moving the bytes instead of adding to it. A file shorter
// than one block never starts the thread.

#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Digest.h"

namespace skyhaul::platform {

class BackgroundDigest {
 public:
  explicit BackgroundDigest(DigestAlgorithm algorithm);
  ~BackgroundDigest();
  BackgroundDigest(const BackgroundDigest&) = delete;
  BackgroundDigest& operator=(const BackgroundDigest&) = delete;

  DigestAlgorithm algorithm() const { return algorithm_; }
  // Adds `size` bytes at `data`; waits only when the thread is a few blocks behind.
  void update(const void* data, std::size_t size) {
    if (size < block_.size() - filled_) {
      std::memcpy(block_.data() + filled_, data, size);
      filled_ += size;
      return;
    }
    updateAcrossBlocks(static_cast<const char*>(data), size);
  }
  // The digest of every byte given so far, as StreamDigest::hex(); waits for the thread to
  // catch up, and throws what its hashing threw. Bytes may follow.
  std::string hex();

 private:
  void updateAcrossBlocks(const char* data, std::size_t size);
  void handOver();
  void waitUntilIdle(std::unique_lock<std::mutex>& lock);
  void run();

  static constexpr std::size_t kBlockSize = 512 * 1024;
  // Blocks given to the thread and not yet hashed, at most: bounds the memory and makes a
  // transfer that outruns the hashing wait for it.
  static constexpr std::size_t kBlocksBehind = 4;

  DigestAlgorithm algorithm_;
  StreamDigest digest_;  // the thread's while it runs; the caller's when it is idle
  std::vector<char> block_;
  std::size_t filled_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<char>> waiting_;  // full blocks, oldest first
  std::vector<std::vector<char>> spare_;
  bool hashing_ = false;  // the thread holds a block it took from waiting_
  bool stopping_ = false;
  std::exception_ptr failure_;  // what the thread's hashing threw, for hex() to throw
  std::thread thread_;          // last: started after everything it uses
};

}  // namespace skyhaul::platform
