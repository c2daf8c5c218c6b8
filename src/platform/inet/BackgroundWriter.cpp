#include "platform/inet/BackgroundWriter.h"

namespace skyhaul::inet::detail {

BackgroundWriter::BackgroundWriter(Channel& channel, ProgressFloor floor)
    : channel_(channel), floor_(floor), thread_([this] { run(); }) {}

BackgroundWriter::~BackgroundWriter() { stop(); }

void BackgroundWriter::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

Status BackgroundWriter::put(std::vector<char>& block, std::size_t size) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !failure_ || inFlight_ < kBlocksBehind; });
  if (!failure_) return failure_;
  const std::size_t capacity = block.size();
  waiting_.emplace_back(std::move(block), size);
  ++inFlight_;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  block.resize(capacity);
  lock.unlock();
  changed_.notify_all();
  return {};
}

Status BackgroundWriter::drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !failure_ || inFlight_ == 0; });
  return failure_;
}

Status BackgroundWriter::send(const std::vector<char>& block, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (floor_.expired()) return ErrorCode::InternetTimeout;
    std::size_t sent = 0;
    const Status put = floor_.measure(
        sent,
        [&](std::chrono::milliseconds limit) {
          return channel_.sendSome(block.data() + done, size - done, limit, sent);
        },
        kSlice);
    done += sent;
    if (!put && put.code() != ErrorCode::InternetTimeout) return put;
    const std::lock_guard lock(mutex_);
    if (stopping_) return ErrorCode::InternetConnectionAborted;
  }
  return {};
}

void BackgroundWriter::run() {
  while (true) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_ || !failure_) return;
    auto [block, size] = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    const Status sent = send(block, size);
    lock.lock();
    --inFlight_;
    spare_.push_back(std::move(block));
    if (!sent) failure_ = sent;
    changed_.notify_all();
  }
}

}  // namespace skyhaul::inet::detail
