#include "ftp/cFTP.h"

#include <cctype>

namespace skyhaul::ftp {

namespace {

// The lookup buffer of the message table holds 256 bytes with its terminator; a longer message
// does not fit and is left out.
constexpr std::size_t kMessageCapacity = 255;
// The server's last response is read into a buffer of 2048 bytes with its terminator.
constexpr std::size_t kResponseCapacity = 2047;
// The SFTP statuses and the SSH session's failures.
constexpr int kFirstSshCode = static_cast<int>(platform::ErrorCode::SftpEndOfFile);
constexpr int kLastSshCode = static_cast<int>(platform::ErrorCode::SshProtocolFailure);

bool isWordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// `text` with every occurrence of `secret` masked. A short password is masked only where it
// stands as a word of its own, lest every such letter of a text be masked.
std::string withoutSecret(std::string text, const std::string& secret) {
  constexpr std::size_t kShortSecret = 3;
  if (secret.empty()) return text;
  for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at)) {
    const std::size_t end = at + secret.size();
    const bool word = (at == 0 || !isWordCharacter(text[at - 1])) &&
                      (end == text.size() || !isWordCharacter(text[end]));
    if (secret.size() < kShortSecret && !word) {
      at = end;
      continue;
    }
    text.replace(at, secret.size(), "****");
    at += 4;
  }
  return text;
}

// Codes whose failure the library explains in words of its own.
bool hasOwnReason(platform::ErrorCode failure) {
  using platform::ErrorCode;
  const int code = static_cast<int>(failure);
  return failure == ErrorCode::TlsHandshakeFailed ||
         failure == ErrorCode::TlsCertificateUntrusted ||
         failure == ErrorCode::TlsCertificateNameMismatch ||
         (code >= kFirstSshCode && code <= kLastSshCode);
}

// A refused TLS connection says why in OpenSSL's words ("self-signed certificate"); an SSH or
// SFTP failure in the server's, or with the host key's fingerprint and what to do about it.
std::string ownReason(const inet::Status& status) {
  if (!hasOwnReason(status.code()) || status.reason().empty()) return {};
  return " (" + status.reason() + ")";
}

}  // namespace

cFTP::cFTP(platform::Clock& clock)
    : hInternet(std::make_unique<inet::InternetSession>(kAgentName)), clock_(clock) {}

cFTP::~cFTP() = default;

void cFTP::setEvents(cFTPEvents* events) { events_ = events; }

std::string cFTP::GetLastErrorMessage() const { return sLastError; }

void cFTP::CloseConnection() { hConnection.reset(); }

bool cFTP::OpenConnection(const std::string& sServer, const std::string& sUser,
                          const std::string& sPassword) {
  hConnection.reset();
  server_ = sServer;
  password_ = sPassword;
  if (!hInternet) {
    RecordErrorMessage(platform::ErrorCode::InvalidHandle, "InternetConnect");
    return false;
  }
  const inet::Status opened = hInternet->open(sServer, sUser, sPassword,
                                              lConnectFlags == kConnectFlagsPassive, hConnection);
  if (opened) return true;
  sLastError = errorText(opened, "InternetConnect", {}, sPassword);
  return false;
}

void cFTP::SetTransferASCII() { lTransferType = kTransferTypeAscii; }
void cFTP::SetTransferBinary() { lTransferType = kTransferTypeBinary; }
void cFTP::SetModeActive() { lConnectFlags = kConnectFlagsActive; }
void cFTP::SetModePassive() { lConnectFlags = kConnectFlagsPassive; }

void cFTP::SetPrivateKey(const std::string& sFile) {
  if (hInternet) hInternet->setPrivateKeyFile(sFile);
}

void cFTP::SetKnownHosts(const std::string& sFile) {
  if (hInternet) hInternet->setKnownHostsFile(sFile);
}

void cFTP::SetTrustedCertificates(const std::string& sFile) {
  if (hInternet) hInternet->setTrustedCertificates(sFile);
}

inet::TransferType cFTP::transferType() const {
  return lTransferType == kTransferTypeBinary ? inet::TransferType::Binary
                                              : inet::TransferType::Ascii;
}

void cFTP::RecordErrorMessage(const inet::Status& status, const std::string& sSource,
                              const std::string& detail) {
  sLastError = errorText(status, sSource, detail, {});
}

bool cFTP::succeeded(const inet::Status& status, const std::string& sSource) {
  if (status) return true;
  RecordErrorMessage(status, sSource);
  return false;
}

// The secret is masked before the text is cut, so that no part of it survives at the cut.
std::string cFTP::errorText(const inet::Status& status, const std::string& sSource,
                            const std::string& detail, const std::string& secret) const {
  if (status.code() == platform::ErrorCode::InternetExtendedError) {
    // The server explained the failure itself: its reply is the whole text.
    return withoutSecret(status.serverText(), secret).substr(0, kResponseCapacity);
  }
  const int lErrorCode = static_cast<int>(status.code());
  std::string message = platform::messageFor(lErrorCode) + detail;
  if (message.size() > kMessageCapacity) message.clear();
  // The reason may be the server's own words (an SFTP status message), which may quote the
  // password back at any step, not only at the login.
  return withoutSecret(sSource + " error code: " + std::to_string(lErrorCode) +
                           " Message: " + message + withoutSecret(ownReason(status), password_),
                       secret);
}

void cFTP::raiseProgress(std::int64_t current, std::int64_t total) {
  if (events_ != nullptr) events_->FileTransferProgress(current, total);
}

void cFTP::yield(int times) {
  for (int i = 0; i < times && events_ != nullptr; ++i) events_->yield();
}

void cFTP::setLabel11(const std::string& text) {
  if (events_ != nullptr) events_->setLabel11(text);
}

}  // namespace skyhaul::ftp
