#include "platform/FtpDataStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {

FtpDataStream::FtpDataStream(Socket socket, std::chrono::milliseconds timeout)
    : socket_(std::move(socket)), timeout_(timeout), buffer_(kBufferSize) {}

void FtpDataStream::account(std::chrono::steady_clock::time_point started, std::size_t bytes) {
  waited_ += std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  moved_ += bytes;
  if (moved_ >= kProgressFloor) {
    waited_ = std::chrono::milliseconds(0);
    moved_ = 0;
  }
}

int FtpDataStream::fill() {
  begin_ = end_ = 0;
  if (waitAllowance().count() <= 0) return kErrorInternetTimeout;
  const auto started = std::chrono::steady_clock::now();
  std::size_t received = 0;
  const int code = receiveSome(socket_, buffer_.data(), buffer_.size(), waitAllowance(), received);
  account(started, received);
  if (code != kErrorSuccess) return code;
  end_ = received;
  atEnd_ = received == 0;
  return kErrorSuccess;
}

int FtpDataStream::readAcrossFills(char* data, std::size_t size, std::size_t& got) {
  got = 0;
  if (!socket_.isOpen()) return kErrorInvalidHandle;
  while (got < size && !atEnd_) {
    if (begin_ == end_) {
      const int code = fill();
      if (code != kErrorSuccess) return code;
      continue;
    }
    const std::size_t take = std::min(size - got, end_ - begin_);
    std::memcpy(data + got, buffer_.data() + begin_, take);
    begin_ += take;
    got += take;
  }
  return kErrorSuccess;
}

int FtpDataStream::writeAcrossSends(const char* data, std::size_t size) {
  if (!socket_.isOpen()) return kErrorInvalidHandle;
  while (size > 0) {
    const std::size_t take = std::min(size, buffer_.size() - end_);
    std::memcpy(buffer_.data() + end_, data, take);
    end_ += take;
    data += take;
    size -= take;
    if (end_ == buffer_.size()) {
      const int code = flush();
      if (code != kErrorSuccess) return code;
    }
  }
  return kErrorSuccess;
}

int FtpDataStream::flush() {
  if (!socket_.isOpen()) return kErrorInvalidHandle;
  std::size_t done = 0;
  int code = kErrorSuccess;
  while (done < end_ && code == kErrorSuccess) {
    if (waitAllowance().count() <= 0) {
      code = kErrorInternetTimeout;
      break;
    }
    const auto started = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    code = sendSome(socket_, buffer_.data() + done, end_ - done, waitAllowance(), sent);
    account(started, sent);
    done += sent;
  }
  end_ = 0;
  return code;
}

void FtpDataStream::finish() {
  socket_.shutdownSending();
  socket_.close();
}

}  // namespace skyhaul::platform
