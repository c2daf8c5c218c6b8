#include "platform/inet/transport/Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/inet/transport/Deadline.h"
#include "platform/inet/transport/Socket.h"

namespace skyhaul::inet::detail {
namespace {

// Where a context keeps the pointer to the TlsContext that owns it.
int contextIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// Where a connection is marked as the control connection, whose sessions the context keeps.
// Under TLS 1.2 a data connection's session is not taken: proftpd checks that a data connection
// resumes the control connection's session.
int controlIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

bool isIpAddress(const std::string& host) {
  std::array<unsigned char, 16> bytes{};
  return ::inet_pton(AF_INET, host.c_str(), bytes.data()) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), bytes.data()) == 1;
}

std::string openSslReason() {
  const unsigned long error = ERR_peek_last_error();
  if (error == 0) return "strežnik je povezavo zaprl";
  std::array<char, 256> text{};
  ERR_error_string_n(error, text.data(), text.size());
  return text.data();
}

// What a failed handshake comes to: the certificate's own verdict where it was refused.
Status handshakeFailure(SSL* ssl) {
  const long verdict = SSL_get_verify_result(ssl);
  if (verdict == X509_V_OK) return {ErrorCode::TlsHandshakeFailed, openSslReason()};
  const bool name =
      verdict == X509_V_ERR_HOSTNAME_MISMATCH || verdict == X509_V_ERR_IP_ADDRESS_MISMATCH;
  return {name ? ErrorCode::TlsCertificateNameMismatch : ErrorCode::TlsCertificateUntrusted,
          X509_verify_cert_error_string(verdict)};
}

// OpenSSL's own socket BIO writes with write(2), which raises SIGPIPE on a connection the
// server has reset; this one sends with MSG_NOSIGNAL, so a reset is a failed write, as it is
// for plain FTP.
int bioWrite(BIO* bio, const char* data, int size) {
  const auto fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t sent = ::send(fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    BIO_set_retry_write(bio);
  }
  return static_cast<int>(sent);
}

int bioRead(BIO* bio, char* data, int size) {
  const auto fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t got = ::recv(fd, data, static_cast<std::size_t>(size), 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    BIO_set_retry_read(bio);
  }
  return static_cast<int>(got);
}

long bioControl(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

const BIO_METHOD* socketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "skyhaul socket");
    BIO_meth_set_write(made, bioWrite);
    BIO_meth_set_read(made, bioRead);
    BIO_meth_set_ctrl(made, bioControl);
    BIO_meth_set_create(made, bioCreate);
    return made;
  }();
  return method;
}

}  // namespace

TlsContext::TlsContext(SSL_CTX* context) : context_(context) {
  SSL_CTX_set_ex_data(context_, contextIndex(), this);
}

TlsContext::~TlsContext() {
  latest_.reset();
  SSL_CTX_free(context_);
}

Status TlsContext::create(const std::string& certificateFile,
                          std::unique_ptr<TlsContext>& context) {
  SSL_CTX* raw = SSL_CTX_new(TLS_client_method());
  if (raw == nullptr) return {ErrorCode::InternetInternalError, openSslReason()};
  auto made = std::make_unique<TlsContext>(raw);
  SSL_CTX_set_min_proto_version(raw, TLS1_2_VERSION);
  SSL_CTX_set_verify(raw, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_mode(raw, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // The end of a data connection is checked by the transfer itself (its size, the final
  // reply); servers differ on sending close_notify before they close.
  SSL_CTX_set_options(raw, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_session_cache_mode(raw, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_sess_set_new_cb(raw, &TlsContext::keepSession);
  const bool trusted = certificateFile.empty() ? SSL_CTX_set_default_verify_paths(raw) == 1
                                               : SSL_CTX_load_verify_locations(
                                                     raw, certificateFile.c_str(), nullptr) == 1;
  if (!trusted) {
    return {ErrorCode::TlsCertificateUntrusted,
            "potrdil ni mogoče prebrati iz \"" + certificateFile + "\": " + openSslReason()};
  }
  // Any certificate of the file is trusted as it stands: a private CA, or a server's own.
  if (!certificateFile.empty()) {
    X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(raw), X509_V_FLAG_PARTIAL_CHAIN);
  }
  context = std::move(made);
  return {};
}

int TlsContext::keepSession(SSL* ssl, SSL_SESSION* session) {
  auto* self = static_cast<TlsContext*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
  const bool control = SSL_get_ex_data(ssl, controlIndex()) != nullptr;
  if (self == nullptr || (!control && SSL_version(ssl) < TLS1_3_VERSION) ||
      SSL_SESSION_is_resumable(session) != 1) {
    return 0;
  }
  self->latest_.reset(session);  // the reference is ours now
  return 1;
}

TlsContext::Session TlsContext::copyOfLatest() const {
  return Session(latest_ ? SSL_SESSION_dup(latest_.get()) : nullptr);
}

TlsStream::TlsStream(SSL* ssl, int fd) : ssl_(ssl), fd_(fd) {}

TlsStream::~TlsStream() { SSL_free(ssl_); }

Status TlsStream::open(TlsContext& context, int fd, const std::string& host, bool resume,
                       std::chrono::milliseconds timeout, std::unique_ptr<TlsStream>& stream) {
  SSL* ssl = SSL_new(context.get());
  if (ssl == nullptr) return ErrorCode::InternetInternalError;
  auto opened = std::make_unique<TlsStream>(ssl, fd);
  BIO* bio = BIO_new(socketMethod());
  if (bio == nullptr) return ErrorCode::InternetInternalError;
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
  SSL_set_bio(ssl, bio, bio);  // the connection owns it now
  if (isIpAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, host.c_str());
    SSL_set1_host(ssl, host.c_str());
  }
  if (resume) {
    if (const auto offered = context.copyOfLatest()) SSL_set_session(ssl, offered.get());
  }
  if (!resume) SSL_set_ex_data(ssl, controlIndex(), &context);
  const Deadline deadline(timeout);
  while (true) {
    ERR_clear_error();
    const int result = SSL_connect(ssl);
    if (result == 1) break;
    const Status waited = opened->waitAfter(result, deadline);
    if (waited.code() == ErrorCode::InternetTimeout) return waited;
    if (!waited) return handshakeFailure(ssl);
  }
  stream = std::move(opened);
  return {};
}

bool TlsStream::resumed() const { return SSL_session_reused(ssl_) == 1; }

Status TlsStream::waitAfter(int result, const Deadline& deadline) {
  const int error = SSL_get_error(ssl_, result);
  short events = 0;
  if (error == SSL_ERROR_WANT_READ) events = POLLIN;
  if (error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
  if (events == 0) {
    if (error == SSL_ERROR_SYSCALL && errno != 0) return codeForStreamErrno(errno);
    return ErrorCode::InternetConnectionAborted;
  }
  return waitFor(fd_, events, deadline.remaining());
}

Status TlsStream::sendSome(const char* data, std::size_t size, std::chrono::milliseconds timeout,
                           std::size_t& sent) {
  sent = 0;
  const Deadline deadline(timeout);
  while (true) {
    ERR_clear_error();
    const int result =
        SSL_write(ssl_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
    if (result > 0) {
      sent = static_cast<std::size_t>(result);
      return {};
    }
    if (const Status waited = waitAfter(result, deadline); !waited) return waited;
  }
}

Status TlsStream::receiveSome(char* data, std::size_t size, std::chrono::milliseconds timeout,
                              std::size_t& received) {
  received = 0;
  const Deadline deadline(timeout);
  while (true) {
    ERR_clear_error();
    const int result = SSL_read(ssl_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
    if (result > 0) {
      received = static_cast<std::size_t>(result);
      return {};
    }
    if (SSL_get_error(ssl_, result) == SSL_ERROR_ZERO_RETURN) return {};
    if (const Status waited = waitAfter(result, deadline); !waited) return waited;
  }
}

void TlsStream::close(std::chrono::milliseconds timeout) {
  const Deadline deadline(timeout);
  ERR_clear_error();
  int result = SSL_shutdown(ssl_);
  while (result < 0 && waitAfter(result, deadline)) {
    ERR_clear_error();
    result = SSL_shutdown(ssl_);
  }
  // Done when the peer's close_notify came already, nothing more can, or nobody waits.
  if (result != 0 || timeout.count() == 0) return;
  ::shutdown(fd_, SHUT_WR);
  constexpr std::size_t kMostToTake = 64 * 1024;  // close_notify and tickets: far less
  std::array<char, 4096> rest;
  std::size_t taken = 0;
  std::size_t got = 0;
  while (taken < kMostToTake && receiveSome(rest.data(), rest.size(), deadline.remaining(), got) &&
         got > 0) {
    taken += got;
  }
}

}  // namespace skyhaul::inet::detail
