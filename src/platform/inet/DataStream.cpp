#include "platform/inet/DataStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace skyhaul::inet::detail {

DataStream::DataStream(Channel channel, std::chrono::milliseconds timeout)
    : channel_(std::move(channel)), timeout_(timeout), floor_(timeout), buffer_(kBufferSize) {}

DataStream::~DataStream() { stopBackground(); }

void DataStream::stopBackground() {
  if (reader_) reader_->stop();
  if (writer_) writer_->stop();
}

Status DataStream::receiveNow() {
  if (floor_.expired()) return ErrorCode::InternetTimeout;
  std::size_t received = 0;
  const Status got = floor_.measure(received, [&](std::chrono::milliseconds limit) {
    return channel_.receiveSome(buffer_.data(), buffer_.size(), limit, received);
  });
  end_ = received;
  return got;
}

Status DataStream::fill() {
  begin_ = end_ = 0;
  receiving_ = true;
  if (!reader_ && moved_ >= kBackgroundFrom) {
    reader_ = std::make_unique<BackgroundReader>(channel_, floor_, kBufferSize);
  }
  const Status got = reader_ ? reader_->next(buffer_, end_) : receiveNow();
  if (!got) return got;
  moved_ += end_;
  atEnd_ = end_ == 0;
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
      const Status sent = sendBuffer();
      if (!sent) return sent;
    }
  }
  return {};
}

// Sends the buffer, or hands it to the writer thread once the upload is a long one.
Status DataStream::sendBuffer() {
  const std::size_t size = std::exchange(end_, 0);
  moved_ += size;
  if (writer_) return writer_->put(buffer_, size);
  std::size_t done = 0;
  while (done < size) {
    if (floor_.expired()) return ErrorCode::InternetTimeout;
    std::size_t sent = 0;
    const Status put = floor_.measure(sent, [&](std::chrono::milliseconds limit) {
      return channel_.sendSome(buffer_.data() + done, size - done, limit, sent);
    });
    if (!put) return put;
    done += sent;
  }
  if (moved_ >= kBackgroundFrom) writer_ = std::make_unique<BackgroundWriter>(channel_, floor_);
  return {};
}

Status DataStream::flush() {
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  const Status sent = end_ > 0 ? sendBuffer() : Status();
  if (!sent || !writer_) return sent;
  return writer_->drain();
}

// A download left before its end must not wait for the rest: the server is still sending.
void DataStream::finish() {
  stopBackground();
  channel_.finish(receiving_ && !atEnd_ ? std::chrono::milliseconds(0) : timeout_);
}

void DataStream::abort() {
  stopBackground();
  channel_.abort();
}

}  // namespace skyhaul::inet::detail
