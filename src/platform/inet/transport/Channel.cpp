#include "platform/inet/transport/Channel.h"

#include <utility>

namespace skyhaul::inet::detail {

Channel::Channel(Socket socket) : socket_(std::move(socket)) {}

Channel::~Channel() { close(); }

Status Channel::startTls(TlsContext& context, const std::string& host, bool resume,
                         std::chrono::milliseconds timeout) {
  return TlsStream::open(context, socket_.fd(), host, resume, timeout, tls_);
}

Status Channel::sendAll(const char* data, std::size_t size, std::chrono::milliseconds timeout) {
  if (!tls_) return detail::sendAll(socket_, data, size, timeout);
  while (size > 0) {
    std::size_t sent = 0;
    if (const Status put = tls_->sendSome(data, size, timeout, sent); !put) return put;
    data += sent;
    size -= sent;
  }
  return {};
}

Status Channel::sendSome(const char* data, std::size_t size, std::chrono::milliseconds timeout,
                         std::size_t& sent) {
  return tls_ ? tls_->sendSome(data, size, timeout, sent)
              : detail::sendSome(socket_, data, size, timeout, sent);
}

Status Channel::sendFileSome(int fd, std::int64_t offset, std::size_t size,
                             std::chrono::milliseconds timeout, std::size_t& sent) {
  sent = 0;
  if (tls_) return ErrorCode::InvalidHandle;
  return detail::sendFileSome(socket_, fd, offset, size, timeout, sent);
}

Status Channel::receiveSome(char* data, std::size_t size, std::chrono::milliseconds timeout,
                            std::size_t& received) {
  return tls_ ? tls_->receiveSome(data, size, timeout, received)
              : detail::receiveSome(socket_, data, size, timeout, received);
}

void Channel::finish(std::chrono::milliseconds timeout) {
  if (tls_ && socket_.isOpen()) tls_->close(timeout);
  socket_.shutdownSending();
  close();
}

void Channel::abort() {
  tls_.reset();
  socket_.closeWithReset();
}

void Channel::close() {
  tls_.reset();
  socket_.close();
}

}  // namespace skyhaul::inet::detail
