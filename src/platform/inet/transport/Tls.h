#pragma once
// TLS (OpenSSL) under the control and data connections. One context per FTP connection: it
// checks the server's certificate and keeps the newest session the server handed out, so that
// every data connection resumes it (vsftpd and proftpd refuse a data connection that does not).
// Under TLS 1.3 the tickets come after the handshake, on the control connection and again on
// every data connection that resumed; each is taken as its connection is read.

#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {

class TlsContext {
 public:
  // A client context trusting the system's CAs, or only the certificates in the PEM file
  // `certificateFile` when it is not empty. Fails, with its reason, when that file cannot be
  // used.
  static Status create(const std::string& certificateFile, std::unique_ptr<TlsContext>& context);
  // Takes the context over.
  explicit TlsContext(SSL_CTX* context);
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  struct SessionFree {
    void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
  };
  using Session = std::unique_ptr<SSL_SESSION, SessionFree>;

  SSL_CTX* get() const { return context_; }
  // A copy of the newest session, for one data connection to offer; null before the server
  // handed out any. OpenSSL does not resume a TLS 1.3 session it resumed once already (vsftpd
  // and proftpd then refuse the data connection), while a copy of it resumes every time.
  Session copyOfLatest() const;

 private:
  static int keepSession(SSL* ssl, SSL_SESSION* session);

  SSL_CTX* context_;
  Session latest_;
};

// One TLS connection over a connected non-blocking socket, the client's side. Every wait is
// bounded by the timeout given.
class TlsStream {
 public:
  // Shakes hands as the client on `fd` (which stays the caller's): the server's certificate
  // must name `host` (an IP address against its IP addresses). A data connection (`resume`)
  // offers a copy of the context's latest session. The sessions of the control connection, and
  // under TLS 1.3 those of the data connections, become the context's latest. Fails
  // with TlsHandshakeFailed, TlsCertificateUntrusted or TlsCertificateNameMismatch, its reason
  // in OpenSSL's words, or a timeout.
  static Status open(TlsContext& context, int fd, const std::string& host, bool resume,
                     std::chrono::milliseconds timeout, std::unique_ptr<TlsStream>& stream);
  // Takes the connection `ssl` over `fd` over.
  TlsStream(SSL* ssl, int fd);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // Whether the handshake resumed a session (a server that insists can tell).
  bool resumed() const;
  // Sends what TLS takes at once (at least one byte), after waiting for room.
  Status sendSome(const char* data, std::size_t size, std::chrono::milliseconds timeout,
                  std::size_t& sent);
  // Receives what is there; `received` is 0 at the end of the data (the peer's close_notify,
  // or its end of the connection).
  Status receiveSome(char* data, std::size_t size, std::chrono::milliseconds timeout,
                     std::size_t& received);
  // Sends close_notify and, within `timeout`, takes what the peer still sends up to its own
  // (new session tickets among it).
  void close(std::chrono::milliseconds timeout);

 private:
  // Waits for what the last call of OpenSSL needs; false when it failed instead.
  Status waitAfter(int result, const Deadline& deadline);

  SSL* ssl_;
  int fd_;
};

}  // namespace skyhaul::inet::detail
