#include "platform/inet/ftp/BackgroundReader.h"

namespace skyhaul::inet::detail {

BackgroundReader::BackgroundReader(Channel& channel, ProgressFloor floor, std::size_t blockSize)
    : channel_(channel), floor_(floor), blockSize_(blockSize), thread_([this] { run(); }) {}

BackgroundReader::~BackgroundReader() { stop(); }

void BackgroundReader::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

Status BackgroundReader::next(std::vector<char>& block, std::size_t& size) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !received_.empty() || ended_; });
  size = 0;
  if (received_.empty()) return failure_;
  spare_.push_back(std::move(block));
  block = std::move(received_.front().first);
  size = received_.front().second;
  received_.pop_front();
  lock.unlock();
  changed_.notify_all();
  return {};
}

// A free buffer to receive into, once one is back or may be made; false when stopping.
bool BackgroundReader::takeSpare(std::vector<char>& block) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopping_ || !spare_.empty() || blocks_ < kBlocksAhead; });
  if (stopping_) return false;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  } else {
    block.resize(blockSize_);
    ++blocks_;
  }
  return true;
}

// Hands on whatever arrived at once, so that a slow connection still shows its progress.
Status BackgroundReader::receive(std::vector<char>& block, std::size_t& size) {
  while (true) {
    if (floor_.expired()) return ErrorCode::InternetTimeout;
    const Status got = floor_.measure(
        size,
        [&](std::chrono::milliseconds limit) {
          return channel_.receiveSome(block.data(), block.size(), limit, size);
        },
        kSlice);
    if (got || got.code() != ErrorCode::InternetTimeout) return got;
    const std::lock_guard lock(mutex_);
    if (stopping_) return got;
  }
}

void BackgroundReader::run() {
  while (true) {
    std::vector<char> block;
    if (!takeSpare(block)) return;
    std::size_t size = 0;
    const Status got = receive(block, size);
    const std::lock_guard lock(mutex_);
    if (!got || size == 0) {
      failure_ = got;
      ended_ = true;
      changed_.notify_all();
      return;
    }
    received_.emplace_back(std::move(block), size);
    changed_.notify_all();
  }
}

}  // namespace skyhaul::inet::detail
