#pragma once
// A connected byte stream, plain or under TLS: what the control connection and each data
// connection send and receive over.

#include <chrono>
#include <memory>
#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/transport/Socket.h"
#include "platform/inet/transport/Tls.h"

namespace skyhaul::inet::detail {

class Channel {
 public:
  Channel() = default;
  explicit Channel(Socket socket);
  Channel(Channel&&) noexcept = default;
  Channel& operator=(Channel&&) noexcept = default;
  ~Channel();

  bool isOpen() const { return socket_.isOpen(); }
  const Socket& socket() const { return socket_; }
  bool secured() const { return tls_ != nullptr; }
  bool resumed() const { return tls_ != nullptr && tls_->resumed(); }

  // Puts TLS under the stream from here on (see TlsStream::open).
  Status startTls(TlsContext& context, const std::string& host, bool resume,
                  std::chrono::milliseconds timeout);

  // As the socket functions of the same names, over TLS when it is on.
  Status sendAll(const char* data, std::size_t size, std::chrono::milliseconds timeout);
  Status sendSome(const char* data, std::size_t size, std::chrono::milliseconds timeout,
                  std::size_t& sent);
  Status receiveSome(char* data, std::size_t size, std::chrono::milliseconds timeout,
                     std::size_t& received);
  // As sendFileSome on the socket; only without TLS (InvalidHandle under it).
  Status sendFileSome(int fd, std::int64_t offset, std::size_t size,
                      std::chrono::milliseconds timeout, std::size_t& sent);

  // Orderly end: TLS close_notify (and, within `timeout`, what the peer still sends up to its
  // own), then our direction of the connection, then it is closed.
  void finish(std::chrono::milliseconds timeout);
  // Abrupt end: a reset, without close_notify, so the peer never takes what it got as complete.
  void abort();
  // Closes without a word.
  void close();

 private:
  Socket socket_;
  std::unique_ptr<TlsStream> tls_;
};

}  // namespace skyhaul::inet::detail
