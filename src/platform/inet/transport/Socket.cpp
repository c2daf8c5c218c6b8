#include "platform/inet/transport/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {
namespace {

constexpr int kLargeBuffer = 1 << 20;

void setLargeBuffers(int fd) {
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kLargeBuffer, sizeof kLargeBuffer);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kLargeBuffer, sizeof kLargeBuffer);
}

Socket newSocket(int family) {
  return Socket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
}

// Makes the non-blocking call `attempt` (it returns what the system call did: a count, or -1
// with errno set) until it does something: again at once after EINTR, and after EAGAIN once the
// socket is ready for `events`, each wait bounded by `timeout`. `done` receives the count.
template <typename Attempt>
Status untilDone(const Socket& socket, short events, std::chrono::milliseconds timeout,
                 Attempt attempt, std::size_t& done) {
  done = 0;
  while (true) {
    const ssize_t result = attempt();
    if (result >= 0) {
      done = static_cast<std::size_t>(result);
      return ErrorCode::Success;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return codeForStreamErrno(errno);
    const Status waited = waitFor(socket.fd(), events, timeout);
    if (!waited) return waited;
  }
}

}  // namespace

Status waitFor(int fd, short events, std::chrono::milliseconds timeout) {
  const Deadline deadline(timeout);
  while (true) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(deadline.remaining().count()));
    if (ready > 0) return ErrorCode::Success;
    if (ready == 0) return ErrorCode::InternetTimeout;
    if (errno != EINTR) return ErrorCode::InternetConnectionAborted;
  }
}

std::uint16_t SocketAddress::port() const {
  if (family() == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

void SocketAddress::setPort(std::uint16_t port) {
  if (family() == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
  }
}

std::string SocketAddress::numericHost() const {
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(get(), length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) return {};
  return host;
}

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void Socket::close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void Socket::closeWithReset() {
  if (fd_ < 0) return;
  const linger option{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  close();
}

void Socket::shutdownSending() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

ErrorCode codeForStreamErrno(int error) {
  switch (error) {
    case ECONNRESET:
      return ErrorCode::InternetConnectionReset;
    case ETIMEDOUT:
      return ErrorCode::InternetTimeout;
    default:
      return ErrorCode::InternetConnectionAborted;
  }
}

Status connectSocket(const SocketAddress& address, std::chrono::milliseconds timeout, bool large,
                     Socket& connected) {
  Socket socket = newSocket(address.family());
  if (!socket.isOpen()) return ErrorCode::InternetOutOfHandles;
  if (large) setLargeBuffers(socket.fd());
  int result = 0;
  do {
    result = ::connect(socket.fd(), address.get(), address.length);
  } while (result != 0 && errno == EINTR);
  if (result != 0 && errno != EINPROGRESS) return ErrorCode::InternetCannotConnect;
  if (result != 0) {
    const Status waited = waitFor(socket.fd(), POLLOUT, timeout);
    if (!waited) return waited;
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == ETIMEDOUT) return ErrorCode::InternetTimeout;
    if (error != 0) return ErrorCode::InternetCannotConnect;
  }
  connected = std::move(socket);
  return ErrorCode::Success;
}

Status listenSocket(const SocketAddress& local, Socket& listening) {
  Socket socket = newSocket(local.family());
  if (!socket.isOpen()) return ErrorCode::InternetOutOfHandles;
  setLargeBuffers(socket.fd());
  SocketAddress address = local;
  address.setPort(0);
  if (::bind(socket.fd(), address.get(), address.length) != 0 || ::listen(socket.fd(), 1) != 0) {
    return ErrorCode::InternetCannotConnect;
  }
  listening = std::move(socket);
  return ErrorCode::Success;
}

Status acceptSocket(const Socket& listening, const SocketAddress& peer,
                    std::chrono::milliseconds timeout, Socket& accepted) {
  const Deadline deadline(timeout);
  const std::string expected = peer.numericHost();
  while (true) {
    const Status waited = waitFor(listening.fd(), POLLIN, deadline.remaining());
    if (!waited) return waited;
    SocketAddress from;
    from.length = sizeof from.storage;
    const int fd = ::accept4(listening.fd(), reinterpret_cast<sockaddr*>(&from.storage),
                             &from.length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Socket candidate(fd);
      if (from.numericHost() != expected) continue;  // not the server: closed unread
      accepted = std::move(candidate);
      return ErrorCode::Success;
    }
    if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
      return ErrorCode::InternetCannotConnect;
    }
  }
}

Status sendAll(const Socket& socket, const char* data, std::size_t size,
               std::chrono::milliseconds timeout) {
  while (size > 0) {
    std::size_t sent = 0;
    if (const Status status = sendSome(socket, data, size, timeout, sent); !status) return status;
    data += sent;
    size -= sent;
  }
  return ErrorCode::Success;
}

Status sendSome(const Socket& socket, const char* data, std::size_t size,
                std::chrono::milliseconds timeout, std::size_t& sent) {
  return untilDone(
      socket, POLLOUT, timeout, [&] { return ::send(socket.fd(), data, size, MSG_NOSIGNAL); },
      sent);
}

namespace {

// sendfile has no MSG_NOSIGNAL: while it runs, SIGPIPE is held back on this thread, and one it
// raised (the peer gone) is taken away unseen, so that a broken connection is an error code
// rather than the end of the process.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~SigpipeHeld() {
    if (raised_ && !pendingBefore_) {
      const timespec now{};
      sigtimedwait(&pipe_, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeHeld(const SigpipeHeld&) = delete;
  SigpipeHeld& operator=(const SigpipeHeld&) = delete;
  void noteBrokenPipe() { raised_ = true; }

 private:
  sigset_t pipe_{};
  sigset_t previous_{};
  bool pendingBefore_ = false;
  bool raised_ = false;
};

}  // namespace

Status sendFileSome(const Socket& socket, int fd, std::int64_t offset, std::size_t size,
                    std::chrono::milliseconds timeout, std::size_t& sent) {
  SigpipeHeld held;
  const Status status = untilDone(
      socket, POLLOUT, timeout,
      [&] {
        off_t at = offset;
        const ssize_t put = ::sendfile(socket.fd(), fd, &at, size);
        if (put < 0 && errno == EPIPE) held.noteBrokenPipe();
        return put;
      },
      sent);
  if (status && sent == 0) return ErrorCode::ReadFault;  // the file is shorter than it was
  return status;
}

Status receiveSome(const Socket& socket, char* data, std::size_t size,
                   std::chrono::milliseconds timeout, std::size_t& received) {
  return untilDone(
      socket, POLLIN, timeout, [&] { return ::recv(socket.fd(), data, size, 0); }, received);
}

bool peerAddress(const Socket& socket, SocketAddress& address) {
  address.length = sizeof address.storage;
  return ::getpeername(socket.fd(), reinterpret_cast<sockaddr*>(&address.storage),
                       &address.length) == 0;
}

bool localAddress(const Socket& socket, SocketAddress& address) {
  address.length = sizeof address.storage;
  return ::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address.storage),
                       &address.length) == 0;
}

namespace {

struct AddressListDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

}  // namespace

Status connectToHost(const std::string& host, int port, std::chrono::milliseconds timeout,
                     Socket& connected) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    return ErrorCode::InternetNameNotResolved;
  }
  const AddressList addresses(found);
  Status last = ErrorCode::InternetCannotConnect;
  bool anyRefused = false;
  for (const addrinfo* entry = addresses.get(); entry != nullptr; entry = entry->ai_next) {
    SocketAddress address;
    address.length = entry->ai_addrlen;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    last = connectSocket(address, timeout, false, connected);
    if (last) return last;
    anyRefused = anyRefused || last.code() != ErrorCode::InternetTimeout;
  }
  // Only when every address stayed silent is it a timeout.
  return anyRefused ? ErrorCode::InternetCannotConnect : last;
}

}  // namespace skyhaul::inet::detail
