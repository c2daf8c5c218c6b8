#include "platform/BackgroundDigest.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace skyhaul::platform {

BackgroundDigest::BackgroundDigest(DigestAlgorithm algorithm)
    : algorithm_(algorithm), digest_(algorithm), block_(kBlockSize) {}

BackgroundDigest::~BackgroundDigest() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundDigest::updateAcrossBlocks(const char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t take = std::min(size, block_.size() - filled_);
    std::memcpy(block_.data() + filled_, data, take);
    filled_ += take;
    data += take;
    size -= take;
    if (filled_ == block_.size()) handOver();
  }
}

// Gives the full block to the thread and takes a free one, made or given back.
void BackgroundDigest::handOver() {
  std::unique_lock lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  changed_.wait(lock, [this] { return waiting_.size() < kBlocksBehind; });
  waiting_.push_back(std::move(block_));
  if (spare_.empty()) {
    block_.assign(kBlockSize, 0);
  } else {
    block_ = std::move(spare_.back());
    spare_.pop_back();
  }
  filled_ = 0;
  lock.unlock();
  changed_.notify_all();
}

void BackgroundDigest::waitUntilIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return waiting_.empty() && !hashing_; });
}

std::string BackgroundDigest::hex() {
  std::unique_lock lock(mutex_);
  waitUntilIdle(lock);
  if (failure_) std::rethrow_exception(failure_);
  // The thread waits for blocks under the same lock, so the digest is ours until it is given.
  digest_.update(block_.data(), filled_);
  filled_ = 0;
  return digest_.hex();
}

void BackgroundDigest::run() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    std::vector<char> block = std::move(waiting_.front());
    waiting_.pop_front();
    hashing_ = true;
    lock.unlock();
    try {
      digest_.update(block.data(), block.size());
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      lock.unlock();
    }
    lock.lock();
    hashing_ = false;
    spare_.push_back(std::move(block));
    changed_.notify_all();
  }
}

}  // namespace skyhaul::platform
