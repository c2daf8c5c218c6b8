#include "platform/inet/ftp/DataStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/ErrorCode.h"

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

Status DataStream::readSome(char* data, std::size_t size, std::size_t& got) {
  got = 0;
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  if (begin_ == end_ && !atEnd_ && size > 0) {
    if (const Status filled = fill(); !filled) return filled;
  }
  got = std::min(size, end_ - begin_);
  std::memcpy(data, buffer_.data() + begin_, got);
  begin_ += got;
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

bool DataStream::SourceFile::copy(int fd) {
  reset();
  own_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  given_ = own_ >= 0 ? fd : -1;
  return own_ >= 0;
}

void DataStream::SourceFile::reset() {
  if (own_ >= 0) ::close(own_);
  own_ = given_ = -1;
}

// The handle the writer sends from is the stream's own: the caller may close its own at any
// time. A new file waits until what was handed over from the old one is sent.
Status DataStream::useSource(int fd) {
  if (source_.isCopyOf(fd)) return {};
  if (writer_) {
    if (const Status drained = writer_->drain(); !drained) return drained;
  }
  return source_.copy(fd) ? Status() : Status(platform::codeFromErrno(errno));
}

Status DataStream::writeFromFile(int fd, std::int64_t offset, std::size_t size) {
  if (!channel_.isOpen()) return ErrorCode::InvalidHandle;
  // Under TLS every byte is encrypted by the program, and the start of an upload (all of a
  // short one) is sent as any written bytes are: both are read into the buffer directly.
  if (channel_.secured() || (!writer_ && moved_ + end_ + size < kBackgroundFrom)) {
    return readFileIntoBuffer(fd, offset, size);
  }
  if (end_ > 0) {
    if (const Status sent = sendBuffer(); !sent) return sent;
  }
  if (const Status used = useSource(fd); !used) return used;
  if (!writer_) writer_ = std::make_unique<BackgroundWriter>(channel_, floor_);
  moved_ += size;
  return writer_->putFileRange(source_.fd(), offset, size);
}

Status DataStream::readFileIntoBuffer(int fd, std::int64_t offset, std::size_t size) {
  while (size > 0) {
    const std::size_t room = std::min(size, buffer_.size() - end_);
    const ssize_t got = ::pread(fd, buffer_.data() + end_, room, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return platform::codeFromErrno(errno);
    if (got == 0) return ErrorCode::ReadFault;  // the file is shorter than it was
    const auto taken = static_cast<std::size_t>(got);
    end_ += taken;
    offset += got;
    size -= taken;
    if (end_ == buffer_.size()) {
      if (const Status sent = sendBuffer(); !sent) return sent;
    }
  }
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
