#include "platform/inet/DataStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace skyhaul::inet {

DataStream::DataStream(Channel channel, std::chrono::milliseconds timeout)
    : channel_(std::move(channel)), timeout_(timeout), buffer_(kBufferSize) {}

void DataStream::account(std::chrono::steady_clock::time_point started, std::size_t bytes) {
  waited_ += std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  moved_ += bytes;
  if (moved_ >= kProgressFloor) {
    waited_ = std::chrono::milliseconds(0);
    moved_ = 0;
  }
}

Status DataStream::fill() {
  begin_ = end_ = 0;
  receiving_ = true;
  if (waitAllowance().count() <= 0) return ErrorCode::InternetTimeout;
  const auto started = std::chrono::steady_clock::now();
  std::size_t received = 0;
  const Status got =
      channel_.receiveSome(buffer_.data(), buffer_.size(), waitAllowance(), received);
  account(started, received);
  if (!got) return got;
  end_ = received;
  atEnd_ = received == 0;
  return {};
}

Status DataStream::readAcrossFills(char* data, std::size_t size, std::size_t& got) {
  got = 0;
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  while (got < size && !atEnd_) {
    if (begin_ == end_) {
      const Status filled = fill();
      if (!filled) return filled;
      continue;
    }
    const std::size_t take = std::min(size - got, end_ - begin_);
    std::memcpy(data + got, buffer_.data() + begin_, take);
    begin_ += take;
    got += take;
  }
  return {};
}

Status DataStream::writeAcrossSends(const char* data, std::size_t size) {
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  while (size > 0) {
    const std::size_t take = std::min(size, buffer_.size() - end_);
    std::memcpy(buffer_.data() + end_, data, take);
    end_ += take;
    data += take;
    size -= take;
    if (end_ == buffer_.size()) {
      const Status sent = flush();
      if (!sent) return sent;
    }
  }
  return {};
}

Status DataStream::flush() {
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  std::size_t done = 0;
  Status outcome;
  while (done < end_ && outcome) {
    if (waitAllowance().count() <= 0) {
      outcome = ErrorCode::InternetTimeout;
      break;
    }
    const auto started = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    outcome = channel_.sendSome(buffer_.data() + done, end_ - done, waitAllowance(), sent);
    account(started, sent);
    done += sent;
  }
  end_ = 0;
  return outcome;
}

// A download left before its end must not wait for the rest: the server is still sending.
void DataStream::finish() {
  channel_.finish(receiving_ && !atEnd_ ? std::chrono::milliseconds(0) : timeout_);
}

}  // namespace skyhaul::inet
