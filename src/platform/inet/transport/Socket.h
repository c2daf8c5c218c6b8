#pragma once
// Non-blocking TCP sockets with every wait bounded: the transport under the FTP control and data
// connections.

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/inet/Status.h"

namespace skyhaul::inet::detail {

// A socket address of either family.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int family() const { return storage.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
  std::uint16_t port() const;
  void setPort(std::uint16_t port);
  // The numeric address without port ("127.0.0.1", "::1").
  std::string numericHost() const;
};

// An owned socket descriptor, closed on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close();
  // Closes with a reset (RST) instead of an orderly end, so the peer stops sending at once.
  void closeWithReset();
  // Ends our direction of the stream; the peer reads end of data.
  void shutdownSending();

 private:
  int fd_ = -1;
};

// Waits until `fd` is ready for `events` (poll), bounded by `timeout` and retried on EINTR with
// the time left: InternetTimeout when it runs out, InternetConnectionAborted when poll fails.
Status waitFor(int fd, short events, std::chrono::milliseconds timeout);

// The library's code for an errno value of a failed send or receive.
ErrorCode codeForStreamErrno(int error);

// Connects to `address`, bounded by `timeout`; InternetCannotConnect when refused or unreachable,
// InternetTimeout when the time runs out. Data sockets (`large`) get big kernel buffers first.
Status connectSocket(const SocketAddress& address, std::chrono::milliseconds timeout, bool large,
                     Socket& connected);
// Resolves `host` and tries its addresses in turn until one takes the connection, each bounded
// by `timeout`. InternetNameNotResolved, InternetCannotConnect, or InternetTimeout only when
// every address stayed silent.
Status connectToHost(const std::string& host, int port, std::chrono::milliseconds timeout,
                     Socket& connected);
// A socket listening on `local` with a port of the system's choice.
Status listenSocket(const SocketAddress& local, Socket& listening);
// Takes one connection off `listening` that comes from `peer`'s address (others are closed at
// once: only the server may connect to us), bounded by `timeout`.
Status acceptSocket(const Socket& listening, const SocketAddress& peer,
                    std::chrono::milliseconds timeout, Socket& accepted);

// Sends all `size` bytes; each wait for room is bounded by `timeout`.
Status sendAll(const Socket& socket, const char* data, std::size_t size,
               std::chrono::milliseconds timeout);
// Sends what the system takes at once (at least one byte) after waiting at most `timeout` for
// room; `sent` is how much.
Status sendSome(const Socket& socket, const char* data, std::size_t size,
                std::chrono::milliseconds timeout, std::size_t& sent);
// Sends what the system takes at once of `size` bytes of the file `fd` from `offset` on,
// straight from the file without passing through the program; as sendSome otherwise. A file
// that ends before them is ReadFault.
Status sendFileSome(const Socket& socket, int fd, std::int64_t offset, std::size_t size,
                    std::chrono::milliseconds timeout, std::size_t& sent);
// Receives what is there (at most `size` bytes) after waiting at most `timeout` for anything;
// `received` is 0 at the end of the stream.
Status receiveSome(const Socket& socket, char* data, std::size_t size,
                   std::chrono::milliseconds timeout, std::size_t& received);

bool peerAddress(const Socket& socket, SocketAddress& address);
bool localAddress(const Socket& socket, SocketAddress& address);

}  // namespace skyhaul::inet::detail
