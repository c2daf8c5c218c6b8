#include "platform/inet/ftp/BackgroundWriter.h"

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

void BackgroundWriter::waitForRoom(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !failure_ || inFlight_ < kBytesBehind; });
}

Status BackgroundWriter::put(std::vector<char>& block, std::size_t size) {
  std::unique_lock lock(mutex_);
  waitForRoom(lock);
  if (!failure_) return failure_;
  const std::size_t capacity = block.size();
  waiting_.push_back({std::move(block), size});
  inFlight_ += size;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  block.resize(capacity);
  lock.unlock();
  changed_.notify_all();
  return {};
}

// Ranges that follow each other are sent as one, so that a transfer handing over small ranges
// still costs the system one call per large one.
Status BackgroundWriter::putFileRange(int fd, std::int64_t offset, std::size_t size) {
  std::unique_lock lock(mutex_);
  waitForRoom(lock);
  if (!failure_) return failure_;
  Piece* last = waiting_.empty() ? nullptr : &waiting_.back();
  if (last != nullptr && last->fd == fd &&
      last->offset + static_cast<std::int64_t>(last->size) == offset) {
    last->size += size;
  } else {
    waiting_.push_back({{}, size, fd, offset});
  }
  inFlight_ += size;
  lock.unlock();
  changed_.notify_all();
  return {};
}

Status BackgroundWriter::drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !failure_ || inFlight_ == 0; });
  return failure_;
}

template <typename SendSome>
Status BackgroundWriter::send(std::size_t size, SendSome sendSome) {
  std::size_t done = 0;
  while (done < size) {
    if (floor_.expired()) return ErrorCode::InternetTimeout;
    std::size_t sent = 0;
    const Status put = floor_.measure(
        sent, [&](std::chrono::milliseconds limit) { return sendSome(done, limit, sent); }, kSlice);
    done += sent;
    if (!put && put.code() != ErrorCode::InternetTimeout) return put;
    const std::lock_guard lock(mutex_);
    if (stopping_) return ErrorCode::InternetConnectionAborted;
  }
  return {};
}

Status BackgroundWriter::sendPiece(const Piece& piece) {
  if (piece.fd >= 0) {
    return send(
        piece.size, [&](std::size_t done, std::chrono::milliseconds limit, std::size_t& sent) {
          return channel_.sendFileSome(piece.fd, piece.offset + static_cast<std::int64_t>(done),
                                       piece.size - done, limit, sent);
        });
  }
  return send(piece.size,
              [&](std::size_t done, std::chrono::milliseconds limit, std::size_t& sent) {
                return channel_.sendSome(piece.block.data() + done, piece.size - done, limit, sent);
              });
}

void BackgroundWriter::run() {
  while (true) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_ || !failure_) return;
    Piece piece = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    const Status sent = sendPiece(piece);
    lock.lock();
    inFlight_ -= piece.size;
    if (piece.fd < 0) spare_.push_back(std::move(piece.block));
    if (!sent) failure_ = sent;
    changed_.notify_all();
  }
}

}  // namespace skyhaul::inet::detail
